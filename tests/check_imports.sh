#!/usr/bin/env bash
# Fails unless every DLL that a program imports statically is one that Windows itself resolves from
# System32 (or, comctl32, through the manifest's side-by-side binding): a DLL of any other name would
# be searched for beside the program first, where a planted copy could be loaded.
# Usage: check_imports.sh [--no-zlib] program.exe [[--no-zlib] program.exe ...]
#   --no-zlib: the next program must not contain zlib either.
set -u
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll comctl32.dll msvcrt.dll"
failed=0
no_zlib=0
checked=0
for arg in "$@"; do
  if [ "$arg" = "--no-zlib" ]; then no_zlib=1; continue; fi
  checked=$((checked + 1))
  if ! dump=$("$objdump" -p "$arg" 2>&1); then
    echo "FAIL $arg: $dump"
    failed=1
    continue
  fi
  names=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr -d '\r' | tr '[:upper:]' '[:lower:]')
  if [ -z "$names" ]; then
    echo "FAIL $arg: no import table found"
    failed=1
  fi
  for name in $names; do
    case " $allowed " in
      *" $name "*) ;;
      *) echo "FAIL $arg imports $name"; failed=1 ;;
    esac
  done
  # zlib's own banner ends up in every program that links its deflate.
  if [ "$no_zlib" = 1 ] && grep -aq "deflate [0-9][0-9.]* Copyright" "$arg"; then
    echo "FAIL $arg contains zlib"
    failed=1
  fi
  no_zlib=0
done
if [ "$checked" = 0 ]; then
  echo "usage: $0 [--no-zlib] program.exe ..."
  exit 2
fi
[ "$failed" = 0 ] && echo "imports ok: $*"
exit $failed
