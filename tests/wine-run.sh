#!/usr/bin/env bash
# Runs a cross-built test program under Wine in a prefix of its own under build/. Wine's output goes
# through a file: wineserver and Wine's services keep inherited pipes open, which would make the
# caller wait for ever.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$here/build/wine-unit"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >"$WINEPREFIX/wineboot.log" 2>&1
  wineserver -w
fi
out=$(mktemp)
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
tr -d '\r' <"$out"
rm -f "$out"
wineserver -k >/dev/null 2>&1 || true
exit $rc
