#!/usr/bin/env bash
# Runs a command against the Windows build that this machine's Wine can execute.
#
# The programs ship as 32-bit builds and are tested as such (build/win32). Some machines' kernels
# execute no 32-bit x86 code at all: Wine's 32-bit loader fails there with "Exec format error", and
# so would every 32-bit program. On such a machine the command gets a 64-bit build of the same
# sources instead (build/win64, built here) with Wine's 64-bit loader first on PATH, and a note says
# so. The command sees MVN_WINE_PRESET (win32 or win64) and MVN_BUILD_DIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export MVN_WINE_PRESET=win32
else
  echo "note: this machine runs no 32-bit x86 code (Wine's 32-bit loader cannot start);" \
    "the Windows tests run on the 64-bit build of the same sources in build/win64." >&2
  cmake --preset win64 >/dev/null
  cmake --build --preset win64
  export MVN_WINE_PRESET=win64 PATH="$root/tools/wine64:$PATH"
fi
export MVN_BUILD_DIR="$root/build/$MVN_WINE_PRESET"
exec "$@"
