#!/usr/bin/env bash
# bench/qzhighlight.sh BUILD_DIR: colours one large C file (the system's headers joined) for a
# terminal with qzhighlight --ansi, source-highlight -f esc and highlight -O ansi in the same
# run, and prints the medians and qzhighlight's ratio to the faster peer. The target is a
# ratio of at most 0.3; exit status 1 when it is missed.
set -euo pipefail
build=$1
qzhighlight=$build/bin/qzhighlight
runs=${BENCH_RUNS:-5}

for tool in source-highlight highlight; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is missing: install the Debian package $tool" >&2
        exit 1
    fi
done
[ -x "$qzhighlight" ] || { echo "no $qzhighlight: build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file=$work/big.c
# about 4 MB of real C
for header in /usr/include/*.h /usr/include/linux/*.h; do
    cat "$header" >>"$file"
    [ "$(stat -c %s "$file")" -gt 4000000 ] && break
done
echo "input: $(wc -l <"$file") lines, $(stat -c %s "$file") bytes"

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

ours=$(median_of "$qzhighlight" --ansi "$file")
sh=$(median_of source-highlight -f esc -s c -i "$file")
hl=$(median_of highlight -O ansi -S c "$file")
faster=$(echo "if ($sh < $hl) $sh else $hl" | bc -l)
ratio=$(echo "$ours / $faster" | bc -l)
printf '%-18s %10.1fms\n' "qzhighlight --ansi" "$(echo "$ours * 1000" | bc -l)"
printf '%-18s %10.1fms\n' "source-highlight" "$(echo "$sh * 1000" | bc -l)"
printf '%-18s %10.1fms\n' "highlight" "$(echo "$hl * 1000" | bc -l)"
printf 'ratio to the faster peer: %.3f (target 0.3)\n' "$ratio"
if (( $(echo "$ratio > 0.3" | bc -l) )); then
    exit 1
fi
