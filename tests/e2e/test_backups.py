"""Backup copies of the data files and the update record, end to end with MVNUpdater10."""

import datetime
import re
import unittest

import harness
from harness import Installation, content_of, dialog_text

FOLDER_FAILED = "Das Backup-Verzeichnis konnte nicht erstellt werden\nDas Update wird abgebrochen!"
RECORD_LINE = re.compile(r"\[Update\]\r\nErfolg=0\r\nDatum=(\d\d)\.(\d\d)\.(\d{4})\r\n"
                         r"Uhrzeit=(\d\d):(\d\d):(\d\d)\r\nVorversion=9\.1\.0\.12\r\n")

env: harness.Environment


def setUpModule():
    global env
    env = harness.environment()


def run_10(sample, *actions):
    sample.lay_out(env)
    env.set_install_location(sample.install_dir + "\\")
    return env.run("10", actions=["window", "click:Weiter", *actions, "wait-exit"])


def names_in(windows_dir):
    return sorted(p.name for p in env.path(windows_dir).iterdir())


class Backups(unittest.TestCase):
    def setUp(self):
        env.reset()

    def test_copies_are_identical_beside_their_originals_and_a_second_run_replaces_them(self):
        sample = Installation()
        env.write_file(sample.base_dir + "MVN_Bkp_Formulierungen\\Eigene.txt", b"from an earlier run")
        result = run_10(sample)
        self.assertEqual(result.exit_code, 0, result.describe())
        for directory, names in sample.data_files.items():
            present = names_in(directory)
            for name in names:
                self.assertIn("MVN_Bkp_" + name, present, "letter case as in the table")
                self.assertEqual(env.path(directory + "MVN_Bkp_" + name).read_bytes(), content_of(name))
        backup_folder = sample.base_dir + "MVN_Bkp_Formulierungen\\"
        self.assertEqual(names_in(backup_folder),
                         sorted(["Arbeitsverhalten.txt", "Bemerkungen.rtf", "Eigene.txt", "Sozialverhalten.txt"]),
                         "files only, no subfolder; files already there stay")

        for directory, names in sample.data_files.items():
            env.path(directory + names[0]).write_bytes(b"changed " + names[0].encode())
        env.path(sample.formulation_dir + "Arbeitsverhalten.txt").write_bytes(b"changed")
        result = env.run("10", actions=["window", "click:Weiter", "wait-exit"])
        self.assertEqual(result.exit_code, 0, result.describe())
        for directory, names in sample.data_files.items():
            self.assertEqual(env.path(directory + "MVN_Bkp_" + names[0]).read_bytes(), b"changed " + names[0].encode())
        self.assertEqual(env.path(backup_folder + "Arbeitsverhalten.txt").read_bytes(), b"changed")

    def test_a_missing_third_catalogue_stops_after_two_copies_without_record(self):
        sample = Installation(omit=("Beiblaetter.dbf",))
        result = run_10(sample)
        self.assertEqual(result.exit_code, 1, result.describe())
        self.assertFalse(result.dialogs, "a failed copy shows nothing of its own")
        made = [n for n in names_in(sample.forms_dir) if n.startswith("MVN_Bkp_")]
        self.assertEqual(made, ["MVN_Bkp_Formulare.cdx", "MVN_Bkp_Formulare.dbf"])
        self.assertFalse(env.path(sample.ini_dir + "MVN_9_Update.ini").exists())

    def test_a_file_in_place_of_the_backup_folder_stops_with_its_dialog(self):
        sample = Installation()
        env.write_file(sample.base_dir + "MVN_Bkp_Formulierungen", b"not a folder")
        result = run_10(sample, "dialog", "answer:OK")
        self.assertEqual(result.exit_code, 1, result.describe())
        self.assertEqual([dialog_text(d) for d in result.dialogs], [FOLDER_FAILED])
        self.assertTrue(env.path(sample.forms_dir + "MVN_Bkp_Formulare.dbf").is_file(), "earlier copies stay")
        self.assertFalse(env.path(sample.ini_dir + "MVN_9_Update.ini").exists())


class UpdateRecord(unittest.TestCase):
    def setUp(self):
        env.reset()

    def test_a_new_record_has_five_lines_in_the_users_formats(self):
        before = datetime.datetime.now().replace(microsecond=0)
        result = run_10(Installation())
        after = datetime.datetime.now()
        self.assertEqual(result.exit_code, 0, result.describe())
        text = env.path(Installation().ini_dir + "MVN_9_Update.ini").read_bytes().decode("cp1252")
        match = RECORD_LINE.fullmatch(text)
        self.assertIsNotNone(match, repr(text))
        day, month, year, hour, minute, second = map(int, match.groups())
        written = datetime.datetime(year, month, day, hour, minute, second)
        self.assertTrue(before <= written <= after, f"{written} not within the run")

    def test_a_12_hour_locale_gives_its_designator(self):
        key = r"HKEY_CURRENT_USER\Control Panel\International"
        env.registry(key, {"sTimeFormat": "h:mm:ss tt", "iTime": "0", "s1159": "AM", "s2359": "PM"})
        try:
            result = run_10(Installation())
        finally:
            env.registry(key, {"sTimeFormat": "HH:mm:ss", "iTime": "1", "s1159": "", "s2359": ""})
        self.assertEqual(result.exit_code, 0, result.describe())
        text = env.path(Installation().ini_dir + "MVN_9_Update.ini").read_bytes().decode("cp1252")
        self.assertRegex(text, r"\r\nUhrzeit=\d{1,2}:\d\d:\d\d (AM|PM)\r\n")

    def test_an_existing_record_keeps_its_other_content_and_its_encoding(self):
        for encoding, decode in (("utf-16", "utf-16"), ("cp1252", "cp1252")):
            with self.subTest(encoding):
                env.reset()
                sample = Installation()
                record = sample.ini_dir + "MVN_9_Update.ini"
                env.write_ini(record, "[Vorher]\nA=1\n[Update]\nErfolg=1\nNotiz=von Hand\n", encoding)
                result = run_10(sample)
                self.assertEqual(result.exit_code, 0, result.describe())
                data = env.path(record).read_bytes()
                self.assertEqual(data.startswith(b"\xff\xfe"), encoding == "utf-16")
                text = data.decode(decode)
                self.assertIn("[Vorher]\r\nA=1\r\n", text)
                self.assertRegex(text, r"\[Update\]\r\nErfolg=0\r\nNotiz=von Hand\r\nDatum=\S+\r\nUhrzeit=\S+\r\n"
                                       r"Vorversion=9\.1\.0\.12")


if __name__ == "__main__":
    unittest.main()
