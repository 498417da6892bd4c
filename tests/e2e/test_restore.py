"""A run of MVNUpdaterP2_10 that ends without completing puts the old installation back from its
archive, and no started run that did not complete ends with exit code 0 (both programs)."""

import os
import unittest
import zipfile

import harness
from harness import Installation, dialog_text

ERROR_BOX_CAPTION = {"P2": "Mvnupdaterp2_10", "10": "Mvnupdater10"}
WAITING = {"P2": ["dialog", "answer:&Ja", "window"], "10": ["window"]}

env: harness.Environment


def setUpModule():
    global env
    env = harness.environment()


def dos_attributes(path):
    """Wine keeps hidden and system in an extended attribute; read-only is the Unix write bit."""
    try:
        stored = os.getxattr(path, "user.DOSATTRIB").decode(errors="replace")
    except OSError:
        stored = ""
    return stored, os.stat(path).st_mode & 0o222 == 0


def tree(windows_dir):
    """Every file and folder below the directory: kind, content, last-write second, attributes."""
    root = env.path(windows_dir)
    seen = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, root).lower()
            is_dir = os.path.isdir(path)
            content = None if is_dir else open(path, "rb").read()
            mtime = None if is_dir else int(os.stat(path).st_mtime)
            seen[relative] = (is_dir, content, mtime, dos_attributes(path))
    return seen


def start(program, sample, *actions, **options):
    """Runs the program on a sample that is laid out already."""
    if program == "10":
        env.set_install_location(sample.install_dir + "\\")
    args = sample.install_dir if program == "P2" else None
    return env.run(program, args, actions=[*WAITING[program], *actions], **options)


def rich_sample(**fields):
    """The sample installation with what the archive does not hold by itself: an empty folder, a
    hidden folder, a read-only and a system file, odd seconds."""
    return Installation(install_files={"Vorlagen\\Zeugnis.dot": b"sample template\r\n", "Liesmich.txt": b"Morvane 9\r\n",
                                       "Versteckt\\geheim.txt": b"hidden folder", "Leer\\.keep": b""}, **fields)


def prepare(sample):
    """Lays the sample out and gives it what a real installation has; returns the driver's attributes."""
    sample.lay_out(env)
    os.remove(env.path(sample.install_dir + "\\Leer\\.keep"))
    for i, path in enumerate(sorted(env.path(sample.install_dir).rglob("*"))):
        if path.is_file():
            os.utime(path, (1_600_000_001 + 3 * i,) * 2)
    return (f"+h:{sample.install_dir}\\Versteckt", f"+r:{sample.install_dir}\\Vorlagen\\Zeugnis.dot",
            f"+s:{sample.install_dir}\\Liesmich.txt")


class Restore(unittest.TestCase):
    def setUp(self):
        env.reset()

    def expect_exit(self, result, code):
        self.assertFalse(result.timed_out, result.describe())
        self.assertEqual(result.exit_code, code, result.describe())

    def run_p2(self, sample, attrib, *actions, **options):
        return env.run("P2", sample.install_dir, actions=[*WAITING["P2"], *actions], attrib=attrib, **options)

    def test_a_failed_backup_leaves_the_installation_as_it_was_and_a_second_run_does_the_whole_job(self):
        sample = rich_sample(omit=("NKK_NOTEN.DBF",))
        attrib = prepare(sample)
        before = {}

        def look(_name, _events):
            before.update(tree(sample.install_dir))

        result = self.run_p2(sample, attrib, "checkpoint:before", "click:Weiter", "wait-exit", checkpoint=look)
        self.expect_exit(result, 1)
        self.assertIn("leer", before)
        self.assertEqual(tree(sample.install_dir), before)
        self.assertFalse(env.path(sample.ini_dir + "MVN_9_Update.ini").exists())
        self.assertFalse(result.dialogs[1:], "a complete restore shows nothing")

        env.write_file(sample.nkk_dir + "NKK_NOTEN.DBF", harness.content_of("NKK_NOTEN.DBF"))
        result = env.run("P2", sample.install_dir, actions=[*WAITING["P2"], "click:Weiter", "wait-exit"])
        self.expect_exit(result, 0)
        self.assertEqual(sorted(os.listdir(env.path(sample.install_dir))), ["MorvaneStart.ini", "mvnaltinst.zip"])
        self.assertTrue(env.path(sample.nkk_dir + "MVN_Bkp_NKK_NOTEN.DBF").is_file())
        self.assertTrue(env.path(sample.ini_dir + "MVN_9_Update.ini").is_file())
        with zipfile.ZipFile(env.prefix.temp_dir / "mvnaltinst.zip") as z:
            self.assertIn("Morvane\\Versteckt\\geheim.txt", z.namelist())

    def test_abbruch_during_a_backup_after_the_archive_step_restores(self):
        sample = rich_sample()
        attrib = prepare(sample)
        before = {}

        def look(_name, _events):
            before.update(tree(sample.install_dir))

        result = self.run_p2(sample, attrib, "checkpoint:before", "click:Weiter",
                             "wait-log:Sicherung Formularkataloge - OK", "sleep:150", "click:Abbruch", "wait-exit",
                             checkpoint=look)
        self.expect_exit(result, 1)
        self.assertEqual(tree(sample.install_dir), before)
        self.assertTrue((env.prefix.temp_dir / "mvnaltinst.zip").is_file(), "the archive stays in the temporary folder")

    def test_closing_after_an_error_box_is_exit_code_1_and_restores(self):
        for program in ("P2", "10"):
            with self.subTest(program):
                env.reset()
                sample = Installation().lay_out(env)
                env.mkdir(sample.ini_dir + "MVN_9_Update.ini")
                before = tree(sample.install_dir)
                at_box = []
                result = start(program, sample, "click:Weiter", "dialog", "checkpoint:box", "answer:OK", "close",
                               "wait-exit", timeout=20,
                               checkpoint=lambda _n, _e: at_box.append(tree(sample.install_dir)))
                self.expect_exit(result, 1)
                self.assertEqual(at_box, [before], "back before the box")
                self.assertEqual([d["caption"] for d in result.dialogs][-1], ERROR_BOX_CAPTION[program])
                self.assertEqual(tree(sample.install_dir), before)

    def test_weiter_after_an_error_box_archives_the_old_installation_again(self):
        sample = Installation()
        sample.lay_out(env)
        env.mkdir(sample.ini_dir + "MVN_9_Update.ini")
        archives = []

        def keep(_name, _events):
            archives.append((env.prefix.temp_dir / "mvnaltinst.zip").read_bytes())

        result = env.run("P2", sample.install_dir, timeout=20, checkpoint=keep,
                         actions=[*WAITING["P2"], "click:Weiter", "dialog", "answer:OK", "checkpoint:first",
                                  "click:Weiter", "dialog", "answer:OK", "checkpoint:second", "click:Abbruch",
                                  "wait-exit"])
        self.expect_exit(result, 1)
        boxes = [d for d in result.dialogs if d["caption"] == ERROR_BOX_CAPTION["P2"]]
        self.assertEqual(len(boxes), 2, result.describe())
        first, second = archives
        with zipfile.ZipFile(env.prefix.temp_dir / "mvnaltinst.zip") as z:
            self.assertIn("Morvane\\Morvane9.EXE", z.namelist(), "not the emptied directory")
        self.assertEqual(second, first)
        self.assertIn("Morvane9.EXE", os.listdir(env.path(sample.install_dir)))


if __name__ == "__main__":
    unittest.main()
