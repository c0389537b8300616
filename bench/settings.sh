#!/usr/bin/env bash
# settings.sh BUILD_DIR: 8 processes each setting 200 keys of their own, synchronizing after
# every one, on a settings file that starts with 2,000 keys; once with our store and once
# with QSettings (INI format, which also locks and merges) in the same run. Prints the best
# of three elapsed times, the ratio ours/QSettings (target: at most 1.0), the lock
# time-outs (target: 0) and whether every key arrived.
set -euo pipefail

build=${1:?usage: settings.sh BUILD_DIR}
worker=$(cd "$build" && pwd)/bin/settings_bench_worker
[ -x "$worker" ] || { echo "settings.sh: $worker is missing; build first" >&2; exit 1; }
workers=${SETTINGS_BENCH_WORKERS:-8}
rounds=${SETTINGS_BENCH_ROUNDS:-200}
keys=2000
runs=${SETTINGS_BENCH_RUNS:-3}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure KIND: best elapsed seconds of `runs`; sums the time-outs over all runs.
measure() {
    local kind=$1 best="" timeouts=0 start end seconds
    for ((run = 0; run < runs; run++)); do
        rm -rf "$work/$kind" && mkdir -p "$work/$kind"
        local file=$work/$kind/settings.$kind
        "$worker" "$kind" seed "$file" "$keys"
        start=$(date +%s.%N)
        for ((id = 0; id < workers; id++)); do
            "$worker" "$kind" run "$file" "$id" "$rounds" >"$work/$kind/out.$id" &
        done
        wait
        end=$(date +%s.%N)
        seconds=$(awk "BEGIN{print $end - $start}")
        if [ -z "$best" ] || awk "BEGIN{exit !($seconds < $best)}"; then best=$seconds; fi
        for ((id = 0; id < workers; id++)); do
            timeouts=$((timeouts + $(awk '{print $2}' "$work/$kind/out.$id")))
        done
    done
    eval "${kind}_time=$best ${kind}_timeouts=$timeouts"
}

measure ours
measure qsettings

# Every worker's last key must be in our file.
missing=0
for ((id = 0; id < workers; id++)); do
    grep -q "name=\"Worker$id/Key$((rounds - 1))\"" "$work/ours/settings.ours" || missing=$((missing + 1))
done
entries=$(grep -c '<setting ' "$work/ours/settings.ours")

ratio=$(awk "BEGIN{printf \"%.2f\", $ours_time / $qsettings_time}")
printf "%-10s %8.3f s  time-outs %d\n" ours "$ours_time" "$ours_timeouts"
printf "%-10s %8.3f s  errors %d\n" QSettings "$qsettings_time" "$qsettings_timeouts"
printf "ratio ours/QSettings %s (target <= 1.0); %d entries in our file (expected %d)\n" \
    "$ratio" "$entries" $((keys + workers * rounds))
verdict=ok
awk "BEGIN{exit !($ratio > 1.0)}" && verdict=slow
[ "$ours_timeouts" -eq 0 ] || verdict=timeouts
[ "$missing" -eq 0 ] && [ "$entries" -eq $((keys + workers * rounds)) ] || verdict=lost
echo "verdict: $verdict"
