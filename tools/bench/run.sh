#!/usr/bin/env bash
# make bench: times mvnzip (the archive step's walk, writer and read-back natively) against Info-ZIP
# zip -6, against zip -6 followed by unzip -tqq (a writer that proves its archive, as mvnzip does) and
# against the limit, bare zlib raw deflate with the same parameters over the same bytes, with
# alternating repetitions over one page-cached corpus; then the peak memory of mvnzip on a 1 GiB file;
# then the Windows side under Wine (tools/bench/wine_step.py: mvnzip.exe, the real step and its
# phases) unless WINE=0. Needs build/native-release with the targets mvnzip and deflate_limit, and for
# the Wine part the Windows build that tools/wine-build.sh picks (MVN_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$root/build/native-release
work=$root/build/bench
rounds=${ROUNDS:-3}
mkdir -p "$work/out"

# CORPUS=DIR (a folder holding Morvane/) times a smaller corpus while working on the benchmark itself.
corpus=${CORPUS:-$work/corpus}
if [ -z "${CORPUS:-}" ]; then
  echo "Corpus: $corpus (generated once, deterministic)"
  python3 "$root/tools/bench/make_corpus.py" "$corpus"
fi
input_bytes=$(find "$corpus/Morvane" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
files=$(find "$corpus/Morvane" -type f | wc -l)
tar -C "$corpus" -cf - Morvane | cat >/dev/null  # into the page cache

# Runs a command, prints "seconds peak_kib cpu_seconds" (cpu: user + system); fails when the command fails. GNU time when there is one;
# otherwise Python samples the child's VmHWM (its own rusage would count the interpreter's pages that
# a forked child holds until exec).
measure() {
  if [ -x /usr/bin/time ]; then
    local out
    out=$(mktemp)
    /usr/bin/time -f '%e %M %U %S' -o "$out" "$@" >/dev/null || { echo "failed: $*" >&2; rm -f "$out"; return 1; }
    tail -n 1 "$out" | awk '{printf "%s %s %.2f\n", $1, $2, $3 + $4}'
    rm -f "$out"
    return
  fi
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.perf_counter()
child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL)
peak = 0
while child.poll() is None:
    try:
        with open("/proc/%d/status" % child.pid) as status:
            peak = max([peak] + [int(l.split()[1]) for l in status if l.startswith("VmHWM:")])
    except (OSError, ValueError):
        pass
    time.sleep(0.01)
elapsed = time.perf_counter() - start
if child.returncode != 0:
    sys.exit("failed (%d): %s" % (child.returncode, " ".join(sys.argv[1:])))
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.3f %d %.2f" % (elapsed, peak, usage.ru_utime + usage.ru_stime))
PY
}

names=(limit mvnzip mvnzip-write zip-6 zip+unzip-t)
run_one() {
  case $1 in
    limit) measure "$bin/deflate_limit" "$corpus/Morvane" ;;
    mvnzip) rm -f "$work/out/mvnzip.zip"; measure "$bin/mvnzip" "$corpus/Morvane" "$work/out/mvnzip.zip" ;;
    mvnzip-write) rm -f "$work/out/mvnzip-write.zip"
      measure "$bin/mvnzip" --skip-verify "$corpus/Morvane" "$work/out/mvnzip-write.zip" ;;
    zip-6) rm -f "$work/out/zip6.zip"; (cd "$corpus" && measure zip -6 -r -q -X "$work/out/zip6.zip" Morvane) ;;
    zip+unzip-t) rm -f "$work/out/zip6t.zip"
      (cd "$corpus" && measure bash -c 'zip -6 -r -q -X "$1" Morvane && unzip -tqq "$1"' - "$work/out/zip6t.zip") ;;
  esac
}

declare -A times peak cpu
for ((r = 0; r < rounds; r++)); do
  for ((k = 0; k < ${#names[@]}; k++)); do
    name=${names[$(((k + r) % ${#names[@]}))]}
    read -r seconds kib cpus < <(run_one "$name") || true
    [ -n "${cpus:-}" ] || { echo "bench: $name failed" >&2; exit 1; }
    times[$name]="${times[$name]:-} $seconds"
    cpu[$name]="${cpu[$name]:-} $cpus"
    [ "${peak[$name]:-0}" -ge "$kib" ] || peak[$name]=$kib
    printf '  round %d  %-13s %7.2f s  cpu %6.2f s\n' $((r + 1)) "$name" "$seconds" "$cpus"
  done
done

limit_out=$("$bin/deflate_limit" "$corpus/Morvane" | awk '{print $3}')
declare -A size=([limit]=$limit_out [mvnzip]=$(stat -c %s "$work/out/mvnzip.zip")
                 [mvnzip-write]=$(stat -c %s "$work/out/mvnzip-write.zip") [zip-6]=$(stat -c %s "$work/out/zip6.zip")
                 [zip+unzip-t]=$(stat -c %s "$work/out/zip6t.zip"))
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
best() { tr ' ' '\n' <<<"$1" | grep . | sort -g | head -n 1; }
limit_median=$(median "${times[limit]}")
limit_best=$(best "${times[limit]}")

awk -v f="$files" -v bytes="$input_bytes" -v r="$rounds" 'BEGIN {printf "\n%d files, %.1f MB, %d rounds\n", f, bytes / 1e6, r}'
printf '%-13s %8s %7s %6s %8s %8s %8s %9s %7s %9s\n' tool median-s best-s cpu-s MB/s vs-limit best-vs out-MB ratio \
  peak-MiB
for name in "${names[@]}"; do
  awk -v n="$name" -v m="$(median "${times[$name]}")" -v b="$(best "${times[$name]}")" -v lm="$limit_median" \
    -v c="$(best "${cpu[$name]}")" -v lb="$limit_best" -v bytes="$input_bytes" -v out="${size[$name]}" \
    -v kib="${peak[$name]}" \
    'BEGIN {printf "%-13s %8.2f %7.2f %6.2f %8.1f %8.3f %8.3f %9.1f %7.3f %9.1f\n", n, m, b, c, bytes / m / 1e6, lm / m,
            lb / b, out / 1e6, out / bytes, kib / 1024}'
done
echo "MB/s and vs-limit from medians, best-vs from the best rounds; vs-limit = limit time / tool time;"
echo "cpu-s = the least user + system seconds of a round, which the machine's other load disturbs least."
echo "ratio = output / input bytes. mvnzip includes the read-back check; mvnzip-write is --skip-verify."
awk -v m="$(best "${times[mvnzip]}")" -v z="$(best "${times[zip+unzip-t]}")" -v mc="$(best "${cpu[mvnzip]}")" \
  -v zc="$(best "${cpu[zip+unzip-t]}")" -v w="$(best "${times[mvnzip-write]}")" -v l="$limit_best" \
  'BEGIN {printf "Targets: mvnzip %.2f s vs zip -6 + unzip -tqq %.2f s (cpu %.2f vs %.2f): %s; writer alone %.3f of the limit (>= 0.97): %s\n",
          m, z, mc, zc, (m < z ? "faster" : "NOT faster"), l / w, (l / w >= 0.97 ? "met" : "MISSED")}'
echo
echo "Peak memory of mvnzip on one 1 GiB file:"
mkdir -p "$work/big/Big"
[ -f "$work/big/Big/big.bin" ] || truncate -s 1G "$work/big/Big/big.bin"
read -r seconds kib _ < <(measure "$bin/mvnzip" "$work/big/Big" "$work/out/big.zip")
awk -v kib="$kib" -v s="$seconds" 'BEGIN {printf "  %.1f MiB in %.1f s (target < 16 MiB): %s\n", kib / 1024, s, kib < 16384 ? "ok" : "OVER"}'

if [ "${WINE:-1}" != 0 ]; then
  echo
  python3 "$root/tools/bench/wine_step.py" --rounds "$rounds" --corpus "$corpus/Morvane"
fi
