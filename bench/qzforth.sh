#!/usr/bin/env bash
# bench/qzforth.sh BUILD_DIR: times three Forth programs under qzforth and gforth in the same
# run (hyperfine, or repeated timing when it is missing) and prints the medians and the ratio.
# The target is qzforth at most 3x gforth's median on each; exit status 1 when it is missed.
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
qzforth=$build/bin/qzforth
programs=(loops fib sieve)
runs=${BENCH_RUNS:-10}

if ! command -v gforth >/dev/null; then
    echo "gforth is missing: install the Debian package gforth" >&2
    exit 1
fi
[ -x "$qzforth" ] || { echo "no $qzforth: build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Median wall time in seconds of "$@" over $runs runs.
median_of() {
    local times=()
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null </dev/null
        end=$(date +%s.%N)
        times+=("$(echo "$end - $start" | bc -l)")
    done
    printf '%s\n' "${times[@]}" | sort -g | awk '{ t[NR] = $1 } END {
        if (NR % 2) print t[(NR + 1) / 2]; else print (t[NR / 2] + t[NR / 2 + 1]) / 2 }'
}

status=0
printf '%-8s %12s %12s %8s\n' program qzforth gforth ratio
for program in "${programs[@]}"; do
    file=$root/bench/forth/$program.fs
    ours=$("$qzforth" "$file" </dev/null)
    theirs=$(gforth "$file" -e bye)
    if [ "$ours" != "$theirs" ]; then
        echo "$program: outputs differ (qzforth '$ours', gforth '$theirs')" >&2
        status=1
        continue
    fi
    if command -v hyperfine >/dev/null; then
        hyperfine -N --warmup 2 --runs "$runs" --export-json "$work/$program.json" \
            "$qzforth $file" "gforth $file -e bye" >/dev/null 2>&1
        read -r q g < <(python3 -c '
import json, sys
results = json.load(open(sys.argv[1]))["results"]
print(results[0]["median"], results[1]["median"])' "$work/$program.json")
    else
        q=$(median_of "$qzforth" "$file")
        g=$(median_of gforth "$file" -e bye)
    fi
    ratio=$(echo "$q / $g" | bc -l)
    verdict=ok
    if (( $(echo "$ratio > 3" | bc -l) )); then
        verdict="over 3x"
        status=1
    fi
    printf '%-8s %10.1fms %10.1fms %7.2fx %s\n' "$program" "$(echo "$q * 1000" | bc -l)" \
        "$(echo "$g * 1000" | bc -l)" "$ratio" "$verdict"
done
exit $status
