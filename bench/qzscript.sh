#!/usr/bin/env bash
# qzscript.sh BUILD_DIR [RUNS]: times the four script benchmarks with qzscript, duktape (duk)
# and mujs in the same run, interleaved, and prints for each engine the median wall time,
# the peak resident memory, and qzscript's time as a ratio of the others' (target: at most
# 1.00 against duktape on every benchmark).
set -euo pipefail
build=${1:?usage: qzscript.sh BUILD_DIR [RUNS]}
runs=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
qzscript="$build/bin/qzscript"
[ -x "$qzscript" ] || { echo "qzscript.sh: no $qzscript (build it first)" >&2; exit 1; }
timer=/usr/bin/time
[ -x "$timer" ] || { echo "qzscript.sh: GNU time is missing (Debian package time)" >&2; exit 1; }

engines=(qzscript duk mujs)
declare -A command=([qzscript]="$qzscript" [duk]=duk [mujs]=mujs)
for engine in duk mujs; do
    command -v "$engine" >/dev/null || { echo "qzscript.sh: $engine is missing" >&2; exit 1; }
done

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
printf '%-12s %-9s %10s %12s %12s\n' benchmark engine "median s" "peak KiB" "qz ratio"
for script in fib loop strings objects; do
    file="$here/qzscript/$script.js"
    for ((run = 0; run < runs; run++)); do
        for engine in "${engines[@]}"; do
            $timer -f '%e %M' -o "$tmp/time" ${command[$engine]} "$file" >"$tmp/$engine.out"
            read -r seconds kib <"$tmp/time"
            echo "$seconds" >>"$tmp/$script.$engine.seconds"
            echo "$kib" >>"$tmp/$script.$engine.kib"
        done
    done
    for engine in duk mujs; do
        if ! cmp -s "$tmp/qzscript.out" "$tmp/$engine.out"; then
            echo "qzscript.sh: $script.js prints differently under $engine" >&2
            status=1
        fi
    done
    ours=$(median <"$tmp/$script.qzscript.seconds")
    for engine in "${engines[@]}"; do
        m=$(median <"$tmp/$script.$engine.seconds")
        peak=$(sort -g "$tmp/$script.$engine.kib" | tail -n 1)
        ratio=$(awk -v a="$ours" -v b="$m" 'BEGIN { printf (b > 0 ? "%.2f" : "-"), a / b }')
        printf '%-12s %-9s %10.2f %12s %12s\n' "$script" "$engine" "$m" "$peak" "$ratio"
        if [ "$engine" = duk ] && awk -v a="$ours" -v b="$m" 'BEGIN { exit !(a > b) }'; then
            echo "qzscript.sh: $script.js is slower than duktape" >&2
            status=1
        fi
    done
done
exit $status
