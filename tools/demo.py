#!/usr/bin/env python3
"""make demo: MVNUpdaterP2_10 under Wine on a sample version-9 installation in a prefix of its own.

With a usable DISPLAY the window shows there for you to click through, and the demo waits for the
exit code. Without one it runs headless under its own Xvfb: it answers the confirmation with "&Ja",
presses "Weiter", answers any further dialog with its default button, and prints every dialog, the
result log and the exit code; a screenshot of the window goes to build/demo/window.png. Either way
it ends by showing where the archive, the backups and the update record are.

The programs are taken from build/win32 (MVN_BUILD_DIR elsewhere); `make demo` builds them.
"""

import os
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

import harness  # noqa: E402
from harness import Installation, dialog_text  # noqa: E402

DEMO_DIR = ROOT / "build" / "demo"
SCREENSHOT = DEMO_DIR / "window.png"
LAST_LINE = "Sicherung NKK-Dateien - OK"


def managed_windows(env, managed: bool) -> None:
    # A window manager should frame and focus the window on a desktop; on a bare Xvfb unmanaged
    # windows are faster.
    env.prefix.reg_import('[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="%s"\n' % "YN"[not managed])


def interactive(env, sample) -> int | None:
    print(f"The window of MVNUpdaterP2_10 opens on {env.display}; confirm and press \"Weiter\".")
    result = env.run("P2", sample.install_dir, actions=["wait-exit"], timeout=24 * 3600)
    return result.exit_code


def headless(env, sample) -> int | None:
    def screenshot(_name, events):
        window = [e for e in events if e["event"] == "geometry"][-1]
        env.capture(window["rect"], SCREENSHOT)

    # The program is frozen for the screenshot, so that the enlarged window with the whole log stays
    # on the screen however long the capture takes.
    actions = ["dialog", "answer:&Ja", "window", "click:Weiter", f"watch-log:{LAST_LINE}", "sleep:150", "freeze",
               "geometry", "checkpoint:screenshot", "thaw", "dismiss-all", "click:Abbruch"]
    result = env.run("P2", sample.install_dir, actions=actions, timeout=60, checkpoint=screenshot)
    for event in result.events:
        kind = event["event"]
        if kind == "dialog":
            print(f"Dialog \"{event['caption']}\" ({', '.join(event['buttons'])}):")
            print("    " + dialog_text(event).replace("\n", "\n    "))
        elif kind == "log":
            print("Result log:")
            print("".join(f"    {line}\n" for line in event["lines"]), end="")
        elif kind in ("timeout", "error"):
            print(f"The demo stopped: {event}")
        elif kind == "idle":
            print("The window stayed open after the last dialog; the demo pressed \"Abbruch\".")
    if SCREENSHOT.is_file() and result.of("checkpoint"):
        print(f"Screenshot of the window: {SCREENSHOT}")
    return result.exit_code


def show_results(env, sample) -> None:
    def where(windows_path: str) -> str:
        p = env.path(windows_path)
        return f"    {p}" + ("" if p.exists() else "   (not there)")

    temp = env.prefix.windows(env.prefix.temp_dir)
    print("Installation archive:")
    print(where(temp + "\\mvnaltinst.zip"))
    print(where(sample.install_dir + "\\mvnaltinst.zip"))
    print("Backups:")
    for directory, names in sample.data_files.items():
        for name in names:
            print(where(directory + "MVN_Bkp_" + name))
    print(where(sample.base_dir + "MVN_Bkp_Formulierungen"))
    record = sample.ini_dir + "MVN_9_Update.ini"
    print("Update record:")
    print(where(record))
    if env.path(record).is_file():
        print("".join(f"    | {line}\n" for line in env.path(record).read_text("cp1252").splitlines()), end="")


def main() -> int:
    missing = [p for p in (harness.BUILD_DIR / harness.PROGRAMS["P2"], harness.BUILD_DIR / "e2e" / "e2e_driver.exe")
               if not p.is_file()]
    if missing:
        print("demo: not built (make demo builds them): " + ", ".join(map(str, missing)), file=sys.stderr)
        return 1
    display = os.environ.get("DISPLAY")
    visible = harness.display_usable(display)
    print("Preparing the Wine prefix in build/demo/prefix (the first time takes a while) ...")
    env = harness.Environment(work_dir=DEMO_DIR, display=display if visible else None)
    code = None
    try:
        managed_windows(env, visible)
        env.reset()
        SCREENSHOT.unlink(missing_ok=True)
        sample = Installation().lay_out(env)
        print(f"Sample installation: {sample.install_dir} (Morvane9.EXE of version {sample.version}), "
              f"data in {sample.base_dir}, INI files in {sample.ini_dir}")
        print(f"    = {env.path(sample.install_dir)}")
        code = interactive(env, sample) if visible else headless(env, sample)
        print(f"Exit code: {'none (the program was stopped)' if code is None else code}")
        show_results(env, sample)
    finally:
        env.close()
    return 0 if code == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
