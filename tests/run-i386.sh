#!/usr/bin/env bash
# Runs a 32-bit x86 Linux program of the native32 build: directly where the kernel executes 32-bit
# code, under qemu-i386 (Debian's qemu-user) where it does not. The probe, a 32-bit program that does
# nothing, tells which: a kernel without 32-bit support refuses to execute it.
#   run-i386.sh PROBE PROGRAM [ARG...]   runs PROGRAM
#   run-i386.sh --which PROBE            prints how programs run ("directly" or "under qemu-i386")
# MVN_I386=qemu forces qemu-i386, MVN_I386=direct the kernel.
set -u
which_only=0
if [ "${1:-}" = "--which" ]; then
  which_only=1
  shift
fi
probe=${1:?usage: run-i386.sh [--which] PROBE [PROGRAM ARG...]}
shift
mode=${MVN_I386:-}
if [ -z "$mode" ]; then
  if "$probe" >/dev/null 2>&1; then mode=direct; else mode=qemu; fi
fi
case "$mode" in
  direct) how="directly" ;;
  qemu) how="under qemu-i386" ;;
  *) echo "run-i386.sh: MVN_I386 must be qemu or direct, not $mode" >&2; exit 2 ;;
esac
if [ "$which_only" = 1 ]; then
  echo "$how"
  exit 0
fi
[ $# -gt 0 ] || { echo "run-i386.sh: no program given" >&2; exit 2; }
if [ "$mode" = qemu ]; then
  command -v qemu-i386 >/dev/null || { echo "run-i386.sh: qemu-i386 is missing (Debian: qemu-user)" >&2; exit 2; }
  exec qemu-i386 "$@"
fi
exec "$@"
