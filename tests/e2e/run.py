#!/usr/bin/env python3
"""Runs every tests/e2e/test_*.py under one Xvfb display and one Wine prefix.

    python3 tests/e2e/run.py [-v] [-k PATTERN]...

MVN_BUILD_DIR points at another build directory (default build/win32), MVN_E2E_DIR at another
place for the prefix and the logs (default build/e2e).
"""

import argparse
import sys
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import harness  # noqa: E402


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("-v", "--verbose", action="store_true", help="name every test as it runs")
    parser.add_argument("-k", dest="patterns", action="append", default=[],
                        help="only tests whose name contains this text (unittest -k)")
    options = parser.parse_args()

    missing = [p for p in (harness.BUILD_DIR / harness.PROGRAMS["P2"], harness.BUILD_DIR / harness.PROGRAMS["10"],
                           harness.BUILD_DIR / "e2e" / "e2e_driver.exe") if not p.is_file()]
    if missing:
        print("e2e: not built: " + ", ".join(str(p) for p in missing), file=sys.stderr)
        return 1

    print(f"e2e: Windows version {harness.WINDOWS_VERSION} (MVN_WINVER)", flush=True)
    started = time.monotonic()
    loader = unittest.TestLoader()
    loader.testNamePatterns = [f"*{p}*" for p in options.patterns] or None
    suite = loader.discover(str(HERE), pattern="test_*.py", top_level_dir=str(HERE))
    try:
        harness.environment()
        result = unittest.TextTestRunner(verbosity=2 if options.verbose else 1, stream=sys.stdout).run(suite)
    finally:
        # Always: a left-over wineserver or Xvfb keeps CI waiting for ever.
        harness.shutdown()
    # A table's failing rows are subtests of one test: count tests, not rows.
    failed = len({getattr(test, "test_case", test).id()
                  for test, _ in result.failures + result.errors}) + len(result.unexpectedSuccesses)
    passed = result.testsRun - failed - len(result.skipped)
    print(f"e2e: {passed} passed, {failed} failed, {len(result.skipped)} skipped "
          f"in {time.monotonic() - started:.0f} s (logs in {harness.WORK_DIR / 'logs'})")
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
