#!/usr/bin/env bash
# bench/qzbuild.sh BUILD_DIR: builds a 100,000-line log from real gcc and g++ output, then
# times `qzbuild -parse-log` on it against a grep that only counts diagnostic lines, in the
# same run (hyperfine). Prints the throughput in MB/s and the ratio, by wall time and by
# processor time; the aim is 50 MB/s of processor time at least (exit status 1 when missed).
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
qzbuild=$build/bin/qzbuild
runs=${BENCH_RUNS:-10}
target_lines=100000
pattern='^[^ :]+:[0-9]+(:[0-9]+)?: (error|warning|note): '

[ -x "$qzbuild" ] || { echo "no $qzbuild: build first" >&2; exit 1; }
command -v gcc >/dev/null || { echo "gcc is missing: install the Debian package gcc" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root"/tests/data/build/sources/* "$work"/
cd "$work"

# One real round of output: warnings, errors, notes, include chains, macro and template
# context, echo and caret lines.
for source in quoted.c chain.c missing.c macro.c; do
    gcc -Wall -Wextra -c "$source" -o /dev/null 2>>round.log || true
done
g++ -Wall -c template.cpp -o /dev/null 2>>round.log || true
round_lines=$(wc -l <round.log)
: >build.log
for _ in $(seq $(( (target_lines + round_lines - 1) / round_lines ))); do
    cat round.log >>build.log
done
head -n "$target_lines" build.log >log && mv log build.log
bytes=$(stat -c %s build.log)

command -v hyperfine >/dev/null || {
    echo "hyperfine is missing: install the Debian package hyperfine" >&2
    exit 1
}
hyperfine -N -i --warmup 2 --runs "$runs" --export-json times.json \
    "$qzbuild -parse-log build.log" "grep -cE '$pattern' build.log" >/dev/null 2>&1
# Wall-clock medians, and the processor time (user + system, mean) that a busy shared
# machine does not inflate.
read -r q g qcpu gcpu < <(python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))["results"]
print(r[0]["median"], r[1]["median"], r[0]["user"] + r[0]["system"], r[1]["user"] + r[1]["system"])' \
    times.json)

records=$("$qzbuild" -parse-log build.log | grep -cE ': (error|warning|note): ' || true)
matched=$(grep -cE "$pattern" build.log || true)
rate=$(echo "$bytes / $q / 1000000" | bc -l)
cpu_rate=$(echo "$bytes / $qcpu / 1000000" | bc -l)
printf 'log: %d lines (%d-line rounds of gcc/g++ output), %.1f MB\n' "$target_lines" \
    "$round_lines" "$(echo "$bytes / 1000000" | bc -l)"
printf 'diagnostics: qzbuild %d records, grep %d lines\n' "$records" "$matched"
printf '%-8s %10s %10s\n' "" wall cpu
printf '%-8s %8.1fms %8.1fms\n' qzbuild "$(echo "$q * 1000" | bc -l)" "$(echo "$qcpu * 1000" | bc -l)"
printf '%-8s %8.1fms %8.1fms\n' grep "$(echo "$g * 1000" | bc -l)" "$(echo "$gcpu * 1000" | bc -l)"
printf 'qzbuild: %.1f MB/s wall, %.1f MB/s cpu; %.2fx the wall time of grep -cE, %.2fx its cpu time\n' \
    "$rate" "$cpu_rate" "$(echo "$q / $g" | bc -l)" "$(echo "$qcpu / $gcpu" | bc -l)"
if (( $(echo "$cpu_rate < 50" | bc -l) )); then
    echo "below 50 MB/s"
    exit 1
fi
