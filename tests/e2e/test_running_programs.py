"""A program still running from the installation directory stops either program's run right after the
signed-in user check, before anything is archived, backed up or written."""

import hashlib
import unittest

import harness
from harness import Installation, dialog_text

USERS_OK = "Benutzeranzahl - OK"
LOG_BEFORE_THE_STEP = {"P2": [USERS_OK], "10": ["Morvane-Datenpfad - OK", "Morvane-Version - OK", USERS_OK]}

env: harness.Environment


def setUpModule():
    global env
    env = harness.environment()


def running_message(path):
    return (f"Auf diesem PC läuft noch ein Programm aus dem Morvane-Verzeichnis:\n{path}\n"
            "Bitte beenden Sie es zuerst!\nDas Update wird abgebrochen!")


def file_tree():
    """Every file and folder of drive C: outside C:\\windows, with the files' content hashes."""
    tree = {}
    for rel in env.prefix.user_entries():
        p = env.prefix.drive_c / rel
        tree[rel] = hashlib.sha256(p.read_bytes()).hexdigest() if p.is_file() else "dir"
    return tree


class RunningProgram(unittest.TestCase):
    def setUp(self):
        env.reset()

    def prepare(self, program, helper):
        """Lays out the sample installation for program and puts the lingering program at helper."""
        sample = Installation().lay_out(env)
        env.copy_file(env.lingering, helper)
        if program == "10":
            env.set_install_location(sample.install_dir + "\\")
        return sample

    def run_with_helper(self, program, sample, helper, *actions):
        """Runs program while the lingering program runs from helper."""
        if program == "P2":
            return env.run("P2", sample.install_dir, background=(helper,),
                           actions=["dialog", "answer:&Ja", "window", "click:Weiter", *actions])
        return env.run("10", background=(helper,), actions=["window", "click:Weiter", *actions])

    def test_a_program_below_the_installation_stops_the_run_and_changes_nothing(self):
        helper = r"C:\Apps\Ostrana\Morvane\Werkzeuge\Helfer.exe"
        for program in ("P2", "10"):
            with self.subTest(program):
                env.reset()
                sample = self.prepare(program, helper)
                before = file_tree()
                result = self.run_with_helper(program, sample, helper, "dialog", "log", "answer:OK", "wait-exit")
                self.assertEqual(result.exit_code, 1, result.describe())
                errors = [dialog_text(d) for d in result.dialogs if d["caption"] == "Fehler"]
                self.assertEqual(errors, [running_message(helper)], result.describe())
                self.assertEqual(result.dialogs[-1]["buttons"], ["OK"], result.describe())
                self.assertEqual(result.first("log")["lines"], LOG_BEFORE_THE_STEP[program], result.describe())
                self.assertEqual(file_tree(), before, "nothing archived, deleted, backed up or written")

    def test_a_program_in_a_sibling_with_a_common_name_prefix_does_not_count(self):
        for program in ("P2", "10"):
            with self.subTest(program):
                env.reset()
                helper = r"C:\Apps\Ostrana\Morvane2\Helfer.exe"
                result = self.run_with_helper(program, self.prepare(program, helper), helper, "wait-exit")
                self.assertEqual(result.exit_code, 0, result.describe())
                self.assertFalse([d for d in result.dialogs if d["caption"] == "Fehler"], result.describe())
                self.assertTrue(env.path(r"C:\ProgramData\Ostrana\Morvane\MVN_9_Update.ini").is_file())


if __name__ == "__main__":
    unittest.main()
