#!/usr/bin/env bash
# Fails unless each program carries no DWARF section of its own and its debug link names a file
# beside it that holds the debug information.
# Usage: check_debug_split.sh program.exe...
set -u
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
failed=0
for exe in "$@"; do
  if "$objdump" -h "$exe" | grep -q ' \.debug_'; then
    echo "FAIL $exe carries DWARF sections"
    failed=1
  fi
  # The section holds the file name, a NUL, padding and a CRC; objdump shows it as hex words.
  link=$("$objdump" -s -j .gnu_debuglink "$exe" 2>/dev/null |
    awk '/^ [0-9a-f]+ / { for (i = 2; i <= 5; i++) if ($i ~ /^[0-9a-f]+$/ && length($i) % 2 == 0) printf "%s", $i }' |
    python3 -c 'import sys; print(bytes.fromhex(sys.stdin.read()).split(b"\0")[0].decode(errors="replace"))')
  name=$(basename "$exe").debug
  if [ "$link" != "$name" ]; then
    echo "FAIL $exe has no debug link to $name (found: ${link:-none})"
    failed=1
  elif ! "$objdump" -h "$(dirname "$exe")/$name" 2>/dev/null | grep -q ' \.debug_info'; then
    echo "FAIL $(dirname "$exe")/$name holds no .debug_info"
    failed=1
  fi
done
[ "$failed" = 0 ] && echo "debug information split off: $*"
exit $failed
