#!/usr/bin/env python3
"""Times the real program's archive step under Wine on the benchmark corpus.

    python3 tools/bench/wine_step.py    (after make bench has generated build/bench/corpus)

Copies the corpus into an installation directory of a prefix of its own (the step empties it),
runs MVNUpdaterP2_10 from build/win32 (MVN_BUILD_DIR; `tools/wine-build.sh` picks the build this
machine can run) and reports the time between the log line before the step and its success line,
which includes writing, reading back, emptying and copying back.
"""

import os
import shutil
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
os.environ.setdefault("MVN_E2E_DIR", str(ROOT / "build" / "bench" / "wine"))
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

import harness  # noqa: E402


def main() -> int:
    corpus = ROOT / "build" / "bench" / "corpus" / "Morvane"
    if not corpus.is_dir():
        print("no corpus: run make bench first", file=sys.stderr)
        return 1
    env = harness.Environment()
    try:
        sample = harness.Installation(install_dir=r"C:\Bench\Morvane", install_files={}).lay_out(env)
        shutil.copytree(corpus, env.path(sample.install_dir), dirs_exist_ok=True)
        env.copy_file(env.fixture(sample.version), sample.install_dir + "\\Morvane9.EXE")  # the corpus has one too
        size = sum(p.stat().st_size for p in env.path(sample.install_dir).rglob("*") if p.is_file())
        marks = {}
        result = env.run("P2", sample.install_dir, timeout=600, checkpoint=lambda name, _: marks.setdefault(
            name, time.monotonic()), actions=["dialog", "answer:&Ja", "window", "click:Weiter",
                                              "wait-log:Benutzeranzahl - OK", "checkpoint:start",
                                              "wait-log:Morvane Sicherung - OK", "checkpoint:end", "wait-exit"])
        if result.exit_code != 0 or len(marks) != 2:
            print(result.describe(), file=sys.stderr)
            return 1
        seconds = marks["end"] - marks["start"] - 0.5  # the pause after "Benutzeranzahl - OK"
        archive = env.prefix.temp_dir / "mvnaltinst.zip"
        print(f"archive step under Wine: {size / 1e6:.1f} MB in {seconds:.2f} s = {size / 1e6 / seconds:.1f} MB/s, "
              f"archive {archive.stat().st_size / 1e6:.1f} MB")
        return 0
    finally:
        env.close()


if __name__ == "__main__":
    sys.exit(main())
