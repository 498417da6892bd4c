"""The old-installation archive of MVNUpdaterP2_10, end to end: what goes into mvnaltinst.zip,
what the emptied directory holds afterwards, and what readers we did not write make of it."""

import os
import struct
import subprocess
import unittest
import zipfile

import harness
from harness import Installation

ARCHIVE_FAILED = "Fehler bei der Sicherung des Alt-Programms"
ARCHIVE_OK = "Morvane Sicherung - OK"

env: harness.Environment


def setUpModule():
    global env
    env = harness.environment()


def central_directory(path):
    """Raw central directory records: {name: dict of the fields a reader relies on}."""
    data = path.read_bytes()
    end = data.rindex(b"PK\x05\x06")
    count, size, offset = struct.unpack_from("<HII", data, end + 10)
    records, pos = {}, offset
    for _ in range(count):
        (sig, made, needed, flags, method, time, date, crc, csize, usize, nlen, xlen, clen, _disk, _internal,
         external, local) = struct.unpack_from("<IHHHHHHIIIHHHHHII", data, pos)
        assert sig == 0x02014B50
        name = data[pos + 46:pos + 46 + nlen].decode("utf-8")
        records[name] = dict(made=made, needed=needed, flags=flags, method=method, time=time, date=date, crc=crc,
                             csize=csize, usize=usize, extra=xlen, external=external, local=local)
        pos += 46 + nlen + xlen + clen
    return records


def entry_names(path):
    with zipfile.ZipFile(path) as z:
        return [i.filename for i in z.infolist()]


class Archive(unittest.TestCase):
    def setUp(self):
        env.reset()

    def run_p2(self, sample, *, args=None, lay_out=True, **options):
        if lay_out:
            sample.lay_out(env)
        return env.run("P2", sample.install_dir if args is None else args,
                       actions=["dialog", "answer:&Ja", "window", "click:Weiter", "wait-log:Sicherung NKK-Dateien - OK",
                                "log", "wait-exit"], **options)

    def assert_readers_accept(self, archive):
        with zipfile.ZipFile(archive) as z:
            self.assertIsNone(z.testzip())
        unzip = subprocess.run(["unzip", "-t", str(archive)], capture_output=True, text=True, errors="replace")
        # Info-ZIP warns about backslashes in names (exit 1) but must find no error in the data.
        self.assertIn(unzip.returncode, (0, 1), unzip.stdout + unzip.stderr)
        tested = [line for line in unzip.stdout.splitlines() if line.strip().startswith("testing:")]
        self.assertTrue(tested and all(line.rstrip().endswith("OK") for line in tested), unzip.stdout)
        self.assertIn("No errors detected", unzip.stdout)
        bsdtar = subprocess.run(["bsdtar", "-tf", str(archive)], capture_output=True)
        self.assertEqual(bsdtar.returncode, 0, bsdtar.stderr)
        return bsdtar.stdout.decode("utf-8")

    def expect_archived(self, result, sample):
        self.assertEqual(result.exit_code, 0, result.describe())
        self.assertIn(ARCHIVE_OK, result.first("log")["lines"], result.describe())
        temp_copy = env.prefix.temp_dir / "mvnaltinst.zip"
        installed = env.path(sample.install_dir + "\\mvnaltinst.zip")
        self.assertEqual(installed.read_bytes(), temp_copy.read_bytes())
        return temp_copy

    def test_walk_order_names_and_the_emptied_directory(self):
        sample = Installation(install_files={"Sub\\a.txt": b"a" * 5000})
        result = self.run_p2(sample)
        archive = self.expect_archived(result, sample)
        self.assertEqual(entry_names(archive),
                         ["Morvane\\Sub\\a.txt", "Morvane\\Morvane9.EXE", "Morvane\\MorvaneStart.ini"])
        self.assertEqual(sorted(os.listdir(env.path(sample.install_dir))), ["MorvaneStart.ini", "mvnaltinst.zip"])
        with zipfile.ZipFile(archive) as z:
            self.assertEqual(z.read("Morvane\\Sub\\a.txt"), b"a" * 5000)
            self.assertEqual(z.read("Morvane\\Morvane9.EXE"), env.fixture("9.1.0.12").read_bytes())
        for name, r in central_directory(archive).items():
            self.assertEqual((r["made"], r["needed"], r["flags"], r["method"], r["extra"]), (20, 20, 0x800, 8, 0),
                             name)
            self.assertEqual(r["external"] & ~0x7BF7, 0, name)
        self.assert_readers_accept(archive)

    def test_hidden_system_empty_and_non_ascii_entries(self):
        files = {"Versteckt\\geheim.txt": b"hidden folder", "sys.dat": b"system file", "leer.txt": b"",
                 "Zeugnis Übersicht Łódź.txt": "Łódź".encode("utf-8"), "Leer\\": None}
        sample = Installation(install_files={k: v for k, v in files.items() if v is not None})
        env.mkdir(sample.install_dir + "\\Leer")
        result = self.run_p2(sample, attrib=(f"+h:{sample.install_dir}\\Versteckt",
                                             f"+s:{sample.install_dir}\\sys.dat",
                                             f"+h:{sample.install_dir}\\leer.txt"))
        archive = self.expect_archived(result, sample)
        names = entry_names(archive)
        self.assertIn("Morvane\\Versteckt\\geheim.txt", names, "a hidden folder is emptied, so it is archived")
        self.assertIn("Morvane\\sys.dat", names)
        self.assertFalse([n for n in names if n.startswith("Morvane\\Leer")], "no entry for an empty folder")
        records = central_directory(archive)
        self.assertEqual({k: records["Morvane\\leer.txt"][k] for k in ("method", "crc", "usize", "csize")},
                         dict(method=8, crc=0, usize=0, csize=2))
        self.assertTrue(records["Morvane\\leer.txt"]["external"] & 0x2, "hidden attribute kept")
        self.assertTrue(records["Morvane\\sys.dat"]["external"] & 0x4, "system attribute kept")
        self.assertEqual(records["Morvane\\Zeugnis Übersicht Łódź.txt"]["flags"], 0x800)
        listing = self.assert_readers_accept(archive)
        self.assertIn("Zeugnis Übersicht Łódź.txt", listing)
        self.assertFalse(env.path(sample.install_dir + "\\Versteckt").exists())

    def test_times_before_1980_are_zero(self):
        sample = Installation(install_files={"alt.txt": b"old", "neu.txt": b"new"})
        sample.lay_out(env)
        os.utime(env.path(sample.install_dir + "\\alt.txt"), (170_000_000,) * 2)  # June 1975
        os.utime(env.path(sample.install_dir + "\\neu.txt"), (1_600_000_000,) * 2)
        result = self.run_p2(sample, lay_out=False)
        records = central_directory(self.expect_archived(result, sample))
        self.assertEqual((records["Morvane\\alt.txt"]["date"], records["Morvane\\alt.txt"]["time"]), (0, 0))
        self.assertGreater(records["Morvane\\neu.txt"]["date"] >> 9, 30)

    def test_an_earlier_archive_is_an_ordinary_entry_and_is_replaced(self):
        sample = Installation(start_ini=False, user_count="0", ini_dir="C:\\ProgramData\\Ostrana\\Morvane\\")
        env.set_common_appdata("C:\\ProgramData")
        env.write_file(sample.install_dir + "\\mvnaltinst.zip", b"an older archive")
        env.write_file("C:\\users\\" + env.prefix.user + "\\Temp\\MorvaneStart.ini", b"[Setup]\r\nIniPfad=stale\r\n")
        env.write_file("C:\\users\\" + env.prefix.user + "\\Temp\\mvnaltinst.zip", b"x" * 100000)
        result = self.run_p2(sample)
        archive = self.expect_archived(result, sample)
        self.assertIn("Morvane\\mvnaltinst.zip", entry_names(archive))
        with zipfile.ZipFile(archive) as z:
            self.assertEqual(z.read("Morvane\\mvnaltinst.zip"), b"an older archive")
        self.assertEqual(os.listdir(env.path(sample.install_dir)), ["mvnaltinst.zip"],
                         "no start INI: none restored, not even the stale one in the temporary folder")

    def test_the_programs_own_file_is_skipped_only_under_the_same_spelling(self):
        for spelling, skipped in ((r"C:\Apps\Ostrana\Morvane", True), (r"c:\apps\ostrana\morvane", False)):
            with self.subTest(spelling):
                env.reset()
                sample = Installation()
                own = sample.install_dir + "\\MVNUpdaterP2_10.exe"
                env.copy_file(env.program("P2"), own)
                result = self.run_p2(sample, args=spelling, cmdline=f'"{own}" {spelling}')
                archive = self.expect_archived(result, sample)
                names = [n.lower() for n in entry_names(archive)]
                self.assertEqual("morvane\\mvnupdaterp2_10.exe" in names, not skipped, names)

    def test_a_file_held_open_for_writing_fails_the_archive_and_leaves_everything(self):
        sample = Installation()
        result = self.run_p2(sample, hold_open=(sample.install_dir + "\\Liesmich.txt",))
        self.assertEqual(result.exit_code, 0, result.describe())
        lines = result.first("log")["lines"]
        self.assertIn(ARCHIVE_FAILED, lines)
        self.assertEqual(lines[-1], "Sicherung NKK-Dateien - OK", "the backups still run")
        self.assertEqual(sorted(os.listdir(env.path(sample.install_dir))),
                         ["Liesmich.txt", "Morvane9.EXE", "MorvaneStart.ini", "Vorlagen"])

    def test_a_trailing_backslash_gives_the_same_archive(self):
        # "…\Morvane\\" leaves one backslash in the directory; it is the same directory and gets the
        # archive of the spelling without it. Fixed file times make the two archives comparable.
        archives = {}
        for args in (r"C:\Apps\Ostrana\Morvane", "C:\\Apps\\Ostrana\\Morvane\\\\"):
            with self.subTest(args):
                env.reset()
                sample = Installation(install_files={"Sub\\a.txt": b"a" * 100}).lay_out(env)
                for top, _dirs, files in os.walk(env.path(sample.install_dir)):
                    for name in files:
                        os.utime(os.path.join(top, name), (1_600_000_000, 1_600_000_000))
                result = self.run_p2(sample, args=args, lay_out=False)
                archives[args] = self.expect_archived(result, sample).read_bytes()
                self.assertEqual(sorted(os.listdir(env.path(sample.install_dir))),
                                 ["MorvaneStart.ini", "mvnaltinst.zip"])
        plain, trailing = archives.values()
        self.assertEqual(trailing, plain)

    def test_a_drive_root_is_never_archived_or_emptied(self):
        # Other spellings of the root are refused by what they resolve to.
        for args in ("C:\\", "C:\\.", "C:\\windows\\.."):
            with self.subTest(args):
                env.reset()
                sample = Installation(install_dir="C:", install_files={})
                result = self.run_p2(sample, args=args)
                self.assertEqual(result.exit_code, 0, result.describe())
                self.assertIn(ARCHIVE_FAILED, result.first("log")["lines"])
                self.assertTrue(env.path("C:\\windows\\system32").is_dir())
                self.assertTrue(env.path("C:\\Morvane9.EXE").is_file())
                self.assertFalse((env.prefix.temp_dir / "mvnaltinst.zip").exists())


if __name__ == "__main__":
    unittest.main()
