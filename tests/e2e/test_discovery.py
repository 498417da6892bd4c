"""Finding the installation, checking its version and the signed-in users, end to end."""

import unittest

import harness
from harness import Installation, dialog_text

ABORT = "\nDas Update wird abgebrochen!"
M0 = "Das Installationsverzeichnis von Morvane konnte nicht ermittelt werden!" + ABORT
M1 = "Das Morvane-Inidateiverzeichnis konnte nicht ermittelt werden!" + ABORT
M2 = 'Die Ini-Datei "morvane.ini" wurde nicht gefunden!' + ABORT
M3 = "Das Morvane - Datenverzeichnis konnte nicht ermittelt werden!" + ABORT
M4 = "Der Standard-Ordner für Anwendungsdaten konnte nicht ermittelt werden!" + ABORT
M5 = 'Der Ordner "All Users\\Anwendungsdaten" konnte nicht ermittelt werden!' + ABORT
V1 = "Im angegebenen Verzeichnis existiert bereits ein Morvane der Version 10!" + ABORT
V2 = ("Im angegebenen Verzeichnis existiert eine unbekannte Morvane-Version!\n"
      "Bitte entfernen Sie zuerst diese Version!" + ABORT)
V3 = ("Im angegebenen Verzeichnis wurde eine updatefähige Morvane-Version gefunden,\n"
      "die nicht über diesen PC installiert wurde.\nSoll die Update-Installation fortgestzt werden?")
V5 = ("Für ein Update muss die Version 9 installiert sein!\n"
      "Bitte führen Sie zuerst ein Update auf diese Version durch!\nDieses Update wird abgebrochen!")
USERS = "Es sind noch Anwender in Morvane angemeldet!" + ABORT
DATA_OK_LINES = ["Morvane-Datenpfad - OK", "Morvane-Version - OK"]


def v4(version):
    return (f"Im angegebenen Verzeichnis wurde eine NICHT updatefähige Morvane - Version {version} gefunden,\n"
            "die nicht über diesen PC installiert wurde.\nDieses Update wird abgebrochen!")


env: harness.Environment


def setUpModule():
    global env
    env = harness.environment()


class Case(unittest.TestCase):
    def setUp(self):
        env.reset()

    def run_p2(self, sample, *actions, args=None):
        sample.lay_out(env)
        return env.run("P2", sample.install_dir if args is None else args,
                       actions=["dialog", "answer:&Ja", "window", "click:Weiter", *actions])

    def run_10(self, sample, *actions, location=None):
        sample.lay_out(env)
        env.set_install_location(sample.install_dir + "\\" if location is None else location)
        return env.run("10", actions=["window", "click:Weiter", *actions])

    def assert_failure(self, result, messages, log=None):
        """The run stopped with these error dialogs (after the confirmation, if any) and code 1."""
        self.assertFalse(result.timed_out, result.describe())
        self.assertEqual(result.exit_code, 1, result.describe())
        errors = [dialog_text(d) for d in result.dialogs if d["caption"] == "Fehler"]
        self.assertEqual(errors, messages, result.describe())
        if log is not None:
            self.assertEqual(result.first("log")["lines"], log, result.describe())


class LocatorP2(Case):
    def test_failures_show_their_dialog(self):
        # The failure line follows the dialog, and the process ends right after it, so no reader of
        # the window can see it; the unit tests check it.
        cases = [
            ("start INI without IniPfad", dict(ini_pfad=""), M1),
            ("IniPfad without trailing backslash", dict(ini_pfad="C:\\ProgramData\\Ostrana\\Morvane"), M2),
            ("no Datenverzeichnis", dict(datenverzeichnis=""), M3),
            ("no start INI, no Common AppData", dict(start_ini=False), M4),
        ]
        for name, fields, message in cases:
            with self.subTest(name):
                env.reset()
                if name.startswith("no start INI"):
                    env.set_common_appdata(None)
                result = self.run_p2(Installation(**fields), "dialog", "log", "answer:OK", "wait-exit")
                self.assert_failure(result, [message], log=[])

    def test_without_start_ini_the_common_application_data_folder_holds_the_ini(self):
        env.set_common_appdata("C:\\ProgramData\\")
        result = self.run_p2(Installation(start_ini=False, user_count="2"), "dialog", "answer:OK", "wait-exit")
        self.assert_failure(result, [USERS])

    def test_a_shell_folders_value_of_the_wrong_type_is_an_uncaught_error(self):
        env.set_common_appdata(7)
        result = self.run_p2(Installation(start_ini=False), "dialog", "log", "answer:OK", "click:Abbruch",
                             "wait-exit")
        self.assertEqual(result.exit_code, 1, result.describe())
        box = result.dialogs[-1]  # ends with an apostrophe, so no full stop is added
        self.assertEqual((box["caption"], dialog_text(box)),
                         ("Mvnupdaterp2_10", "Ungültiger Datentyp für 'Common Appdata'"), result.describe())
        self.assertTrue(result.first("log")["visible"])


class Locator10(Case):
    def test_failures_show_their_dialog_and_no_log_line(self):
        cases = [
            ("no installer entry", dict(), "no key", M0),
            ("empty InstallLocation", dict(), "", M0),
            ("start INI without IniPfad", dict(ini_pfad=""), None, M1),
            ("main INI missing", dict(main_ini=False), None, M2),
            ("no Datenverzeichnis", dict(datenverzeichnis=""), None, M3),
        ]
        for name, fields, location, message in cases:
            with self.subTest(name):
                env.reset()
                result = self.run_10(Installation(**fields), "dialog", "log", "answer:OK", "wait-exit",
                                     location=location)
                self.assert_failure(result, [message], log=[])

    def test_no_start_ini_and_no_common_application_data(self):
        env.set_common_appdata(None)
        result = self.run_10(Installation(start_ini=False), "dialog", "log", "answer:OK", "wait-exit")
        self.assert_failure(result, [M5], log=[])

    def test_virtual_store_copy_of_the_start_ini(self):
        sample = Installation(install_dir=r"C:\Program Files (x86)\Morvane", start_ini=False,
                              ini_dir="C:\\Ostrana\\VS\\", user_count="3")
        env.write_ini(env.prefix.local_appdata + r"\VirtualStore\Program Files (x86)\Morvane\MorvaneStart.ini",
                      {"Setup": {"IniPfad": sample.ini_dir}})
        result = self.run_10(sample, "dialog", "log", "answer:OK", "wait-exit")
        self.assert_failure(result, [USERS], log=DATA_OK_LINES)

    def test_a_001_folder_holds_the_ini_and_skips_the_user_count(self):
        sample = Installation(ini_dir="C:\\ProgramData\\Ostrana\\Morvane\\001\\", user_count="4",
                              ini_pfad="C:\\ProgramData\\Ostrana\\Morvane\\")
        result = self.run_10(sample, "wait-exit")
        self.assertEqual(result.exit_code, 0, result.describe())
        self.assertTrue(env.path(sample.ini_dir + "MVN_9_Update.ini").is_file())
        self.assertFalse(env.path("C:\\ProgramData\\Ostrana\\Morvane\\MVN_9_Update.ini").exists())

    def test_a_data_directory_outside_the_ansi_code_page_works(self):
        # Polish letters do not exist in Windows-1252: an 8-bit path would turn them into "?".
        sample = Installation(data_dir="C:\\Szkoła Łódź\\Dane\\", ini_encoding="utf-16")
        result = self.run_10(sample, "wait-exit")
        self.assertEqual(result.exit_code, 0, result.describe())
        for name in ("Formulare\\MVN_Bkp_Formulare.dbf", "Dane\\MVN_Bkp_FAECHERKANON.dbf", "NKK\\MVN_Bkp_NKK_Noten.CDX"):
            self.assertTrue(env.path("C:\\Szkoła Łódź\\" + name).is_file(), name)


class Version(Case):
    def test_show_time_decision_of_p2(self):
        cases = [
            ("10.0.1.0", [V1, v4("10.0.1.0")]),
            ("8.5.0.0", [V2, v4("8.5.0.0")]),
            ("11.0.0.0", [V2, v4("11.0.0.0")]),
            ("none", [V2, v4("0.0.0.0")]),
            ("65535.65535.65535.65535", [V2, v4("65535.65535.65535.65535")]),
        ]
        for version, messages in cases:
            with self.subTest(version):
                env.reset()
                Installation(version=version).lay_out(env)
                result = env.run("P2", r"C:\Apps\Ostrana\Morvane",
                                 actions=["dialog", "answer:OK", "dialog", "answer:OK", "wait-exit"])
                self.assertEqual(result.exit_code, 1, result.describe())
                self.assertEqual([dialog_text(d) for d in result.dialogs], messages)
                self.assertFalse(result.of("window"), "the main window is never shown")

    def test_the_product_version_decides_not_the_file_version(self):
        # The 9.x fixtures carry file version 1.2.3.4; 95.1.0.0 begins with 9 as well.
        for version in ("9.1.0.12", "95.1.0.0"):
            with self.subTest(version):
                env.reset()
                Installation(version=version).lay_out(env)
                result = env.run("P2", r"C:\Apps\Ostrana\Morvane", actions=["dialog", "answer:&Nein", "wait-exit"])
                self.assertEqual(result.exit_code, 1, result.describe())
                self.assertEqual([dialog_text(d) for d in result.dialogs], [V3])

    def test_p2_without_arguments_looks_at_the_drive_root(self):
        result = env.run("P2", None, actions=["wait-exit"])
        self.assertEqual(result.exit_code, 0, result.describe())
        self.assertFalse(result.dialogs)

    def test_check_of_mvnupdater10(self):
        for version, passes in (("none", False), ("10.0.0.0", False), ("95.1.0.0", True), (None, False)):
            with self.subTest(version):
                env.reset()
                sample = Installation(version=version or "none", executable=version is not None, user_count="1")
                result = self.run_10(sample, "dialog", "log", "answer:OK", "wait-exit")
                if passes:
                    self.assert_failure(result, [USERS], log=DATA_OK_LINES)
                else:
                    self.assert_failure(result, [V5], log=["Morvane-Datenpfad - OK"])


class Users(Case):
    def test_only_a_count_of_zero_passes(self):
        for count in ("1", "-1", "abc", None):
            with self.subTest(count):
                env.reset()
                result = self.run_p2(Installation(user_count=count), "dialog", "log", "answer:OK", "wait-exit")
                self.assert_failure(result, [USERS], log=[])


if __name__ == "__main__":
    unittest.main()
