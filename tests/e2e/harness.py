"""End-to-end harness: an Xvfb display, a Wine prefix of our own, the driver, and sample installations.

Everything lives under build/: the prefix is created once (build/e2e/prefix) and reused while it is
valid; each case resets only what it touched (the directories the harness laid out, the user's temp
folder, the registry values it changed). Wine's output always goes to files: wineserver and Wine's
services keep inherited pipes open, and a reader of such a pipe would wait for ever.
"""

from __future__ import annotations

import atexit
import getpass
import hashlib
import json
import os
import select
import shutil
import subprocess
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path, PureWindowsPath

ROOT = Path(__file__).resolve().parents[2]
BUILD_DIR = Path(os.environ.get("MVN_BUILD_DIR", ROOT / "build" / "win32"))
WORK_DIR = Path(os.environ.get("MVN_E2E_DIR", ROOT / "build" / "e2e"))
PROGRAMS = {"P2": "MVNUpdaterP2_10.exe", "10": "MVNUpdater10.exe"}
SCREEN = (1280, 1024)
# The Windows version Wine reports to the programs (winecfg's names); make test runs win7 and win10.
WINDOWS_VERSIONS = {"win7": "6.1", "win10": "10.0"}
WINDOWS_VERSION = os.environ.get("MVN_WINVER", "win10")

INSTALLER_KEY = (r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\UserData"
                 r"\S-1-5-18\Products\3A1D5E0B7C9F24681B3D5F7092A4C6E8\InstallProperties")
DESKTOP_KEY = r"HKEY_CURRENT_USER\Control Panel\Desktop"
SHELL_FOLDERS_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
COMMON_APPDATA = r"C:\ProgramData"
# File times become local times in the archive, and the update record holds the local time: a fixed
# zone keeps both independent of the machine's daylight-saving rule. The test process uses it too.
TIME_ZONE = "UTC"
os.environ["TZ"] = TIME_ZONE
time.tzset()

# German formats as user overrides of the prefix's locale. Wine rewrites every value of this key when
# "Locale" differs from the locale it derives from the Unix environment (C.UTF-8 gives en-US, since
# no glibc German locale is installed), so the overrides keep Locale/LocaleName as Wine has them.
BASE_REGISTRY = r"""Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="Y"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:00000060

[HKEY_CURRENT_USER\Control Panel\International]
"sShortDate"="dd.MM.yyyy"
"sLongDate"="dddd, d. MMMM yyyy"
"sTimeFormat"="HH:mm:ss"
"sShortTime"="HH:mm"
"sDate"="."
"sTime"=":"
"iTime"="1"
"iTLZero"="1"
"iDate"="1"
"s1159"=""
"s2359"=""

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
"""


class E2EError(RuntimeError):
    pass


def program_bits() -> int:
    """32 or 64: the machine the programs under test were built for, read from the PE header. The
    shipped build is 32-bit; a 64-bit build stands in where the kernel runs no 32-bit code
    (tools/wine-build.sh), and its registry view differs on a 64-bit prefix."""
    head = (BUILD_DIR / PROGRAMS["10"]).read_bytes()[:4096]
    pe = int.from_bytes(head[0x3C:0x40], "little")
    machine = int.from_bytes(head[pe + 4:pe + 6], "little")
    return 64 if machine == 0x8664 else 32


# ---------------------------------------------------------------------------------------------------
# Display


class Display:
    """An Xvfb server on a display number that it picks itself (-displayfd)."""

    def __init__(self, log_path: Path):
        self.log_path = log_path
        self.proc: subprocess.Popen | None = None
        self.name = ""

    def start(self) -> str:
        read_end, write_end = os.pipe()
        log = open(self.log_path, "wb")
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        os.close(write_end)
        log.close()
        digits = b""
        deadline = time.monotonic() + 20
        with os.fdopen(read_end, "rb", buffering=0) as pipe:
            while not digits.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                if remaining <= 0 or not select.select([pipe], [], [], remaining)[0]:
                    self.stop()
                    raise E2EError(f"Xvfb did not start, see {self.log_path}")
                chunk = pipe.read(16)
                if not chunk:
                    self.stop()
                    raise E2EError(f"Xvfb exited, see {self.log_path}")
                digits += chunk
        self.name = ":" + digits.decode().strip()
        return self.name

    def stop(self) -> None:
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None


def display_usable(name: str | None) -> bool:
    if not name or not shutil.which("xdpyinfo"):
        return False
    try:
        return subprocess.run(["xdpyinfo", "-display", name], stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10).returncode == 0
    except subprocess.TimeoutExpired:
        return False


# ---------------------------------------------------------------------------------------------------
# Wine prefix


class Prefix:
    """A Wine prefix and the commands that run inside it."""

    def __init__(self, path: Path, display: str):
        self.path = path
        self.display = display
        self.logs = path.parent / "logs"
        self._counter = 0
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("WINE", "LC_", "TEMP", "TMP")) and k not in ("LANG", "LANGUAGE", "DISPLAY")}
        self.env.update(WINEPREFIX=str(path), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        DISPLAY=display, LC_ALL="C.UTF-8", LANG="C.UTF-8", TZ=TIME_ZONE)

    # -- life cycle ---------------------------------------------------------------------------------

    @property
    def marker(self) -> Path:
        return self.path / ".e2e-ready"

    def _marker_text(self) -> str:
        wine_version = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
        return hashlib.sha256((wine_version + BASE_REGISTRY + "pristine list 1").encode()).hexdigest()

    def ensure(self) -> None:
        """Creates the prefix unless a complete one made with the same settings is there."""
        self.logs.mkdir(parents=True, exist_ok=True)
        wanted = self._marker_text()
        valid = (self.marker.is_file() and self.marker.read_text() == wanted and self.pristine_list.is_file()
                 and (self.path / "system.reg").is_file() and (self.path / "drive_c" / "windows").is_dir())
        if not valid:
            self.kill_server()
            shutil.rmtree(self.path, ignore_errors=True)
            self.path.mkdir(parents=True)
            self.wine(["wineboot", "-i"], timeout=300, wine=False)
            self.wine(["wineserver", "-w"], timeout=300, wine=False)
        # The server outlives each program by default only for 3 s; keeping it saves a start per case.
        self.wine(["wineserver", "-p"], timeout=30, wine=False, check=False)
        if not valid:
            self.reg_import(BASE_REGISTRY)
            self.pristine_list.write_text(json.dumps(sorted(self.user_entries())))
            self.marker.write_text(wanted)
        self.pristine = frozenset(json.loads(self.pristine_list.read_text()))

    @property
    def pristine_list(self) -> Path:
        return self.path / ".e2e-pristine.json"

    def user_entries(self, enter=lambda rel: True) -> list[str]:
        """Every file and folder of drive C: outside C:\\windows, as relative paths, without
        following links; only folders for which enter(rel) holds are walked into."""
        found = []
        for top, dirs, files in os.walk(self.drive_c):
            rel_top = os.path.relpath(top, self.drive_c)
            rel = {n: n if rel_top == "." else f"{rel_top}/{n}" for n in dirs + files}
            found += rel.values()
            dirs[:] = [d for d in dirs if rel[d] != "windows" and enter(rel[d])
                       and not os.path.islink(os.path.join(top, d))]
        return found

    def kill_server(self) -> None:
        if self.path.is_dir():
            self.wine(["wineserver", "-k"], timeout=30, wine=False, check=False)

    # -- running ------------------------------------------------------------------------------------

    def log_file(self, stem: str) -> Path:
        self._counter += 1
        return self.logs / f"{self._counter:04d}-{stem}"

    def wine(self, argv: list[str], timeout: float = 60, wine: bool = True, check: bool = True,
             stem: str | None = None) -> tuple[int, str, str]:
        """Runs a Wine command with its output in files; returns (code, stdout, stderr)."""
        base = self.log_file(stem or Path(argv[0]).name)
        out_path, err_path = base.with_suffix(".out"), base.with_suffix(".err")
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            proc = subprocess.Popen((["wine"] if wine else []) + argv, env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=err, cwd=self.path.parent)
            try:
                code = proc.wait(timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
                code = None
        stdout = out_path.read_text(encoding="utf-8", errors="replace")
        stderr = err_path.read_text(encoding="utf-8", errors="replace")
        if check and code != 0:
            raise E2EError(f"{argv} exited with {code}: {stderr[-2000:]}")
        return code if code is not None else -1, stdout, stderr

    # -- paths --------------------------------------------------------------------------------------

    @property
    def drive_c(self) -> Path:
        return self.path / "drive_c"

    def unix(self, windows_path: str) -> Path:
        """C:\\x -> <prefix>/drive_c/x, Z:\\x -> /x. Letter case is kept as given."""
        p = PureWindowsPath(windows_path)
        drive = p.drive.upper()
        parts = p.parts[1:]
        if drive == "C:":
            return self.drive_c.joinpath(*parts)
        if drive == "Z:":
            return Path("/").joinpath(*parts)
        raise E2EError(f"no Unix path for {windows_path}")

    def windows(self, unix_path: Path | str) -> str:
        p = Path(unix_path).absolute()
        try:
            return "C:\\" + "\\".join(p.relative_to(self.drive_c).parts)
        except ValueError:
            return "Z:" + str(p).replace("/", "\\")

    @property
    def user(self) -> str:
        return getpass.getuser()

    @property
    def temp_dir(self) -> Path:
        """The user's temporary folder (GetTempPathW) as a Unix path."""
        return self.drive_c / "users" / self.user / "Temp"

    @property
    def local_appdata(self) -> str:
        return f"C:\\users\\{self.user}\\AppData\\Local"

    # -- registry -----------------------------------------------------------------------------------

    @property
    def is_win64(self) -> bool:
        head = (self.path / "system.reg").read_text(errors="replace")[:400]
        return "#arch=win64" in head

    def reg_import(self, text: str, view: int | None = None) -> None:
        """Imports .reg text in one process. view 64 or 32 picks the registry view on a 64-bit
        prefix; a 32-bit prefix has only one view, which every program reads."""
        if not text.startswith("Windows Registry Editor"):
            text = "Windows Registry Editor Version 5.00\n\n" + text
        path = self.log_file("import").with_suffix(".reg")
        path.write_text(text.replace("\n", "\r\n"), encoding="utf-16")
        args = ["reg", "import", self.windows(path)]
        if view and self.is_win64:
            args.append(f"/reg:{view}")
        self.wine(args, timeout=60)

    def set_windows_version(self, name: str) -> None:
        """Sets the Windows version that Wine reports and checks that a new process sees it."""
        if name not in WINDOWS_VERSIONS:
            raise E2EError(f"MVN_WINVER must be one of {', '.join(WINDOWS_VERSIONS)}, not {name!r}")
        self.reg_import(f'[HKEY_CURRENT_USER\\Software\\Wine]\n"Version"="{name}"\n')
        _, out, _ = self.wine(["cmd", "/c", "ver"], timeout=60)
        if f" {WINDOWS_VERSIONS[name]}." not in out:
            raise E2EError(f"Wine does not report {name}: {out.strip()!r}")

    def delete_key(self, key: str, view: int | None = None) -> None:
        """Deletes a key with its subkeys in one registry view and checks that it is gone. Whether
        reg import's [-key] lines honour /reg:64 depends on which reg.exe Wine starts (a 32-bit one
        once left the installer entry of an earlier case in the 64-bit view); reg delete opens the
        key in the view asked for. Both are tried, and a key that survives them fails the run."""
        view_args = [f"/reg:{view}"] if view and self.is_win64 else []
        self.wine(["reg", "delete", key, "/f", *view_args], timeout=60, check=False)  # 1 when absent
        if not self.has_key(key, view_args):
            return
        self.reg_import(f"[-{key}]\n", view)
        if self.has_key(key, view_args):
            raise E2EError(f"{key} (view {view}) is still there after reg delete and reg import")

    def has_key(self, key: str, view_args: list[str]) -> bool:
        return self.wine(["reg", "query", key, *view_args], timeout=60, check=False)[0] == 0


def reg_value(name: str, value) -> str:
    """One .reg line. value: str (REG_SZ), int (REG_DWORD), bytes (REG_BINARY), ("expand", str)
    (REG_EXPAND_SZ) or None (delete the value)."""
    quoted = '"' + name.replace("\\", "\\\\").replace('"', '\\"') + '"'
    if value is None:
        return f"{quoted}=-"
    if isinstance(value, tuple) and value[0] == "expand":
        data = (value[1] + "\0").encode("utf-16-le")
        return f"{quoted}=hex(2):" + ",".join(f"{b:02x}" for b in data)
    if isinstance(value, bool):
        raise TypeError("bool is no registry type")
    if isinstance(value, int):
        return f"{quoted}=dword:{value:08x}"
    if isinstance(value, bytes):
        return f"{quoted}=hex:" + ",".join(f"{b:02x}" for b in value)
    return quoted + '="' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


# ---------------------------------------------------------------------------------------------------
# Driver runs


@dataclass
class Result:
    events: list[dict]
    exit_code: int | None  # None when the program did not end by itself (timeout, kill, driver error)
    driver_code: int
    log_path: Path

    def of(self, kind: str) -> list[dict]:
        return [e for e in self.events if e.get("event") == kind]

    def first(self, kind: str) -> dict:
        found = self.of(kind)
        if not found:
            raise AssertionError(f"no {kind!r} event in {self.describe()}")
        return found[0]

    @property
    def dialogs(self) -> list[dict]:
        return self.of("dialog")

    @property
    def timed_out(self) -> bool:
        return bool(self.of("timeout"))

    def describe(self) -> str:
        return f"driver {self.driver_code}, events in {self.log_path}:\n" + "\n".join(
            json.dumps(e, ensure_ascii=False)[:400] for e in self.events)


def parse_event(raw: bytes) -> dict | None:
    line = raw.decode("utf-8", errors="replace").strip()
    if not line.startswith("{"):
        return None  # Wine's own chatter
    try:
        return json.loads(line)
    except json.JSONDecodeError:
        return {"event": "garbled", "line": line}


def dialog_text(dialog: dict) -> str:
    """The dialog's message as one text, line feeds as "\\n"."""
    return "\n".join(dialog["texts"]).replace("\r\n", "\n")


class Environment:
    """One display and one prefix for a whole test run."""

    def __init__(self, work_dir: Path = WORK_DIR, build_dir: Path = BUILD_DIR, display: str | None = None):
        self.work_dir = work_dir
        self.build_dir = build_dir
        work_dir.mkdir(parents=True, exist_ok=True)
        shutil.rmtree(work_dir / "logs", ignore_errors=True)
        (work_dir / "logs").mkdir()
        self.xvfb: Display | None = None
        if display is None:
            self.xvfb = Display(work_dir / "logs" / "xvfb.log")
            display = self.xvfb.start()
        self.display = display
        self.prefix = Prefix(work_dir / "prefix", display)
        self._registry_dirty = True
        try:
            self.prefix.ensure()
            self.prefix.set_windows_version(WINDOWS_VERSION)
        except BaseException:
            self.close()
            raise
        self.reset()

    def close(self) -> None:
        try:
            self.prefix.kill_server()
        finally:
            if self.xvfb:
                self.xvfb.stop()

    # -- programs -----------------------------------------------------------------------------------

    def program(self, name: str) -> Path:
        return self.build_dir / PROGRAMS.get(name, name)

    @property
    def driver(self) -> Path:
        return self.build_dir / "e2e" / "e2e_driver.exe"

    def fixture(self, version: str | None) -> Path:
        """The fake application executable with that product version ("none": no version resource)."""
        return self.build_dir / "e2e" / "fixtures" / f"fake_morvane_{(version or 'none').replace('.', '_')}.exe"

    @property
    def lingering(self) -> Path:
        """A windowless program that runs until the driver that started it (--background) ends."""
        return self.build_dir / "e2e" / "fixtures" / "lingering.exe"

    def run(self, program: str, args: str | None = None, *, cmdline: str | None = None, cwd: str = "C:\\",
            actions: list[str] | tuple[str, ...] = (), timeout: float = 15, hold_open: tuple[str, ...] = (),
            attrib: tuple[str, ...] = (), background: tuple[str, ...] = (), checkpoint=None) -> Result:
        """Starts a program under the driver and returns what it observed.

        program: "P2", "10", or a Windows path. cmdline replaces the whole command line; otherwise it
        is the quoted program path followed by args, verbatim. timeout bounds every single wait of
        the driver (seconds). hold_open: Windows paths that the driver keeps open for writing while
        the program runs; attrib: "+h+s:C:\\path" changes before the start; background: Windows paths
        of programs that the driver starts before the program and ends when it ends itself.
        checkpoint(name, events) is called at each "checkpoint:NAME" action while the program waits
        for it."""
        if cmdline is None:
            target = program if ":\\" in program else self.prefix.windows(self.program(program))
            cmdline = f'"{target}"' + ("" if args is None else " " + args)
        base = self.prefix.log_file("driver")
        gate = base.with_suffix(".gate")
        gate.mkdir(exist_ok=True)
        lines = [f"--cmd={cmdline}", f"--cwd={cwd}", f"--timeout={int(timeout * 1000)}",
                 f"--checkpoint-dir={self.prefix.windows(gate)}"]
        lines += [f"--hold-open={p}" for p in hold_open] + [f"--attrib={a}" for a in attrib]
        lines += [f"--background={p}" for p in background] + list(actions)
        if any("\n" in line or "\r" in line for line in lines):
            raise E2EError("driver arguments cannot hold line breaks")
        args_path = base.with_suffix(".args")
        args_path.write_text("\n".join(lines) + "\n", encoding="utf-8")
        out_path, err_path = base.with_suffix(".out"), base.with_suffix(".err")
        # Last resort only: the driver bounds every wait itself and kills the program on a timeout.
        deadline = time.monotonic() + timeout * (len(actions) + 2) + 60
        events: list[dict] = []
        with open(out_path, "wb") as out, open(err_path, "wb") as err, open(out_path, "rb") as reader:
            proc = subprocess.Popen(["wine", self.prefix.windows(self.driver), "@" + self.prefix.windows(args_path)],
                                    env=self.prefix.env, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
            pending = b""
            while True:
                done = proc.poll() is not None
                pending += reader.read()
                *complete, pending = pending.split(b"\n")
                for raw in complete:
                    event = parse_event(raw)
                    if event is None:
                        continue
                    events.append(event)
                    if event.get("event") == "checkpoint":
                        if checkpoint:
                            checkpoint(event["name"], list(events))
                        (gate / f"{event['name']}.go").touch()
                if done:
                    break
                if time.monotonic() > deadline:
                    proc.kill()
                    proc.wait()
                    # The driver itself hung: nothing in the prefix can be trusted to be idle any more.
                    self.prefix.kill_server()
                    self.prefix.wine(["wineserver", "-p"], timeout=30, wine=False, check=False)
                    events.append({"event": "timeout", "action": "(driver)"})
                    break
                time.sleep(0.02)
            if pending.strip():
                event = parse_event(pending)
                if event:
                    events.append(event)
        exits = [e for e in events if e.get("event") == "exit"]
        return Result(events, exits[0]["code"] if exits else None,
                      proc.returncode if proc.returncode is not None else -1, out_path)

    # -- files and registry -------------------------------------------------------------------------

    def path(self, windows_path: str) -> Path:
        return self.prefix.unix(windows_path)

    def write_file(self, windows_path: str, data: bytes | str) -> Path:
        p = self.path(windows_path)
        p.parent.mkdir(parents=True, exist_ok=True)
        p.write_bytes(data.encode() if isinstance(data, str) else data)
        return p

    def copy_file(self, source: Path, windows_path: str) -> Path:
        return self.write_file(windows_path, source.read_bytes())

    def mkdir(self, windows_path: str) -> Path:
        p = self.path(windows_path)
        p.mkdir(parents=True, exist_ok=True)
        return p

    def write_ini(self, windows_path: str, sections: dict[str, dict[str, str]] | str,
                  encoding: str = "cp1252") -> Path:
        """An INI file as Windows writes them: CRLF lines, ANSI (cp1252) or "utf-16" (LE with BOM)."""
        if isinstance(sections, str):
            text = sections
        else:
            text = "".join(f"[{name}]\n" + "".join(f"{k}={v}\n" for k, v in keys.items())
                           for name, keys in sections.items())
        text = text.replace("\r\n", "\n").replace("\n", "\r\n")
        data = b"\xff\xfe" + text.encode("utf-16-le") if encoding.lower() in ("utf-16", "utf-16-le") \
            else text.encode(encoding)
        return self.write_file(windows_path, data)

    def registry(self, key: str, values: dict[str, object] | None = None, *, delete_key: bool = False,
                 view: int | None = None) -> None:
        """Sets or deletes values (see reg_value) of one key, or deletes the key; undone by reset()."""
        self._registry_dirty = True
        if delete_key:
            self.prefix.delete_key(key, view)
            return
        self.prefix.reg_import(f"[{key}]\n" + "".join(reg_value(n, v) + "\n" for n, v in (values or {}).items()),
                               view)

    def set_install_location(self, value: object = r"C:\Apps\Ostrana\Morvane" + "\\") -> None:
        """The Windows Installer entry MVNUpdater10 reads, in the 64-bit view. None removes the
        value, "no key" the whole key."""
        if value == "no key":
            self.registry(INSTALLER_KEY, delete_key=True, view=64)
        else:
            self.registry(INSTALLER_KEY, {"InstallLocation": value}, view=64)

    def set_dpi(self, dpi: int) -> None:
        """The screen's DPI for programs started from now on (96 is the prefix's own)."""
        self.registry(DESKTOP_KEY, {"LogPixels": dpi})

    def set_common_appdata(self, value: object) -> None:
        """Shell Folders "Common AppData" in the view the program reads (see reg_value)."""
        self.registry(SHELL_FOLDERS_KEY, {"Common AppData": value}, view=program_bits())

    def reset(self) -> None:
        """Removes every file and folder outside C:\\windows that the fresh prefix did not have,
        whoever made it (a case, a program, an interrupted earlier run), and restores the registry
        values that cases changed."""
        pristine = self.prefix.pristine
        for rel in self.prefix.user_entries(enter=lambda rel: rel in pristine):
            if rel not in pristine:
                p = self.prefix.drive_c / rel
                if p.is_dir() and not p.is_symlink():
                    shutil.rmtree(p, ignore_errors=True)
                else:
                    p.unlink(missing_ok=True)
        temp = self.prefix.temp_dir
        shutil.rmtree(temp, ignore_errors=True)
        temp.mkdir(parents=True, exist_ok=True)
        if self._registry_dirty:
            # HKCU is shared by both views; one import restores the screen's DPI as well.
            self.prefix.reg_import(f"[{SHELL_FOLDERS_KEY}]\n" + reg_value("Common AppData", COMMON_APPDATA) + "\n\n"
                                   f"[{DESKTOP_KEY}]\n" + reg_value("LogPixels", 96) + "\n", view=program_bits())
            # The installer entry lives in the 64-bit view on a 64-bit prefix; clear both views.
            for view in (32, 64) if self.prefix.is_win64 else (None,):
                self.prefix.delete_key(INSTALLER_KEY, view)
            self._registry_dirty = False

    # -- screen -------------------------------------------------------------------------------------

    def capture(self, rect: list[int], png: Path | None = None) -> tuple[int, int, bytes]:
        """The screen inside rect [left, top, width, height] as (width, height, RGB bytes); also
        saved as PNG when png is given. Grabs the whole X root window and crops it here: PrintWindow
        paints nothing across processes under Wine, and import's own cropping may read a child
        window's drawable, which comes back black."""
        left, top = max(rect[0], 0), max(rect[1], 0)
        with tempfile.TemporaryDirectory() as tmp:
            shot = Path(tmp) / "screen.ppm"
            subprocess.run(["import", "-display", self.display, "-window", "root", "-depth", "8", str(shot)],
                           check=True, stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
            full_width, full_height, pixels = read_ppm(shot.read_bytes())
            width = max(0, min(rect[2], full_width - left))
            height = max(0, min(rect[3], full_height - top))
            rgb = b"".join(pixels[((top + y) * full_width + left) * 3:((top + y) * full_width + left + width) * 3]
                           for y in range(height))
            if png:
                png.parent.mkdir(parents=True, exist_ok=True)
                cropped = Path(tmp) / "cropped.ppm"
                cropped.write_bytes(b"P6\n%d %d\n255\n" % (width, height) + rgb)
                subprocess.run(["convert", str(cropped), str(png)], check=True, capture_output=True, timeout=30)
            return width, height, rgb


def read_ppm(data: bytes) -> tuple[int, int, bytes]:
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise E2EError("unexpected PPM")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:pos + 1 + width * height * 3]


# ---------------------------------------------------------------------------------------------------
# Sample installation

FORMS_FILES = ["Formulare.dbf", "Formulare.cdx", "Beiblaetter.dbf", "Beiblaetter.cdx", "Deckblaetter.dbf",
               "Deckblaetter.cdx"]
CANON_FILES = ["FAECHERKANON.dbf", "FaecherKanon.cdx"]
NKK_FILES = ["NKK_FAECHER.DBF", "NKK_Faecher.CDX", "NKK_NOTEN.DBF", "NKK_Noten.CDX"]
FORMULATION_FILES = {"Arbeitsverhalten.txt": "Arbeitet stets sorgfältig.\r\n",
                     "Sozialverhalten.txt": "Hilft anderen gern.\r\n",
                     "Bemerkungen.rtf": "{\\rtf1 Bemerkungen}\r\n"}
FORMULATION_SUBFOLDER = {"Archiv\\2019.txt": "Alte Formulierungen\r\n"}


def content_of(name: str) -> bytes:
    """Small content that differs from file to file, so a copy of the wrong file shows."""
    return f"sample {name}\r\n".encode() + hashlib.sha256(name.encode()).digest()


@dataclass
class Installation:
    """A sample version-9 installation as the application leaves it; every place can be moved and
    every file left out. Paths are Windows paths with the shapes the application writes."""

    install_dir: str = r"C:\Apps\Ostrana\Morvane"
    ini_dir: str = "C:\\ProgramData\\Ostrana\\Morvane\\"
    data_dir: str = "C:\\Morvane\\Daten\\"
    version: str | None = "9.1.0.12"  # fixture variant for Morvane9.EXE; "none": no version resource
    executable: bool = True  # False: no Morvane9.EXE at all
    start_ini: bool = True
    ini_pfad: str | None = None  # [Setup] IniPfad of the start INI; None: ini_dir; "": key missing
    main_ini: bool = True
    datenverzeichnis: str | None = None  # [Setup] Datenverzeichnis; None: data_dir
    user_count: str | None = "0"  # [Benutzer] UserZahl; None: key missing
    omit: tuple[str, ...] = ()  # file names (or "Formulierungen") not to create
    install_files: dict[str, bytes | str] = field(
        default_factory=lambda: {"Vorlagen\\Zeugnis.dot": b"sample template\r\n", "Liesmich.txt": b"Morvane 9\r\n"})
    ini_encoding: str = "cp1252"

    @property
    def base_dir(self) -> str:
        trimmed = self.data_dir[:-1] if self.data_dir.endswith("\\") else self.data_dir
        return trimmed[:trimmed.rindex("\\") + 1]

    @property
    def forms_dir(self) -> str:
        return self.base_dir + "Formulare\\"

    @property
    def nkk_dir(self) -> str:
        return self.base_dir + "NKK\\"

    @property
    def formulation_dir(self) -> str:
        return self.base_dir + "Formulierungen\\"

    @property
    def data_files(self) -> dict[str, list[str]]:
        """Backed-up files by directory (Windows paths ending with a backslash)."""
        return {self.forms_dir: FORMS_FILES, self.data_dir: CANON_FILES, self.nkk_dir: NKK_FILES}

    def lay_out(self, env: Environment) -> "Installation":
        env.mkdir(self.install_dir)
        if self.executable:
            env.copy_file(env.fixture(self.version), self.install_dir + "\\Morvane9.EXE")
        for name, data in self.install_files.items():
            env.write_file(self.install_dir + "\\" + name, data)
        if self.start_ini:
            ini_pfad = self.ini_dir if self.ini_pfad is None else self.ini_pfad
            env.write_ini(self.install_dir + "\\MorvaneStart.ini",
                          {"Setup": {"IniPfad": ini_pfad} if ini_pfad else {"Sprache": "DE"}}, self.ini_encoding)
        if self.main_ini:
            data_dir = self.data_dir if self.datenverzeichnis is None else self.datenverzeichnis
            sections = {"Setup": {"Datenverzeichnis": data_dir, "Version": "9"}}
            sections["Benutzer"] = {"UserZahl": self.user_count} if self.user_count is not None else {"Letzter": "x"}
            env.write_ini(self.ini_dir + "morvane.ini", sections, self.ini_encoding)
        for directory, names in self.data_files.items():
            env.mkdir(directory)
            for name in names:
                if name not in self.omit:
                    env.write_file(directory + name, content_of(name))
        if "Formulierungen" not in self.omit:
            env.mkdir(self.formulation_dir)
            for name, text in {**FORMULATION_FILES, **FORMULATION_SUBFOLDER}.items():
                env.write_file(self.formulation_dir + name, text.encode("cp1252"))
        return self


# ---------------------------------------------------------------------------------------------------
# One environment per process


_environment: Environment | None = None


def environment() -> Environment:
    """The run's shared environment, started on first use and closed at exit."""
    global _environment
    if _environment is None:
        _environment = Environment()
        atexit.register(shutdown)
    return _environment


def shutdown() -> None:
    global _environment
    if _environment is not None:
        env, _environment = _environment, None
        env.close()
