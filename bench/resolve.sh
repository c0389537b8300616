#!/usr/bin/env bash
# resolve.sh BUILD_DIR: for every file of a generated solution of 20,000 files, resolve and
# expand c_preprocessor_definitions and build_object_file_name (solution load included)
# against `make -n` on the equivalent make file, which gives each file the same definitions
# through target-specific "+=" variables and prints both. Interleaved pairs in the same run,
# median of several rounds; the outputs are compared first.
# Target: time ratio (ours / make -n) at most 1.0.
set -euo pipefail
build=$1
bench=$build/bin/bench_resolve
work=$build/bench
mkdir -p "$work"
solution=$work/resolve-20000.qzProject
makefile=$work/resolve-20000.mk
rounds=${RESOLVE_BENCH_ROUNDS:-9}
"$bench" --generate 20000 "$solution" "$makefile"
echo "solution: $solution ($(stat -c %s "$solution") bytes), make file: $(stat -c %s "$makefile") bytes"

run_ours() { "$bench" --resolve "$solution" Debug; }
run_make() { make -n -f "$makefile"; }

# Both must say the same before their times mean anything.
run_ours | tr -s ' ' >"$work/resolve-ours.txt"
run_make | sed 's/^echo //' | tr -s ' ' >"$work/resolve-make.txt"
if ! cmp -s "$work/resolve-ours.txt" "$work/resolve-make.txt"; then
    echo "resolve.sh: the outputs differ:" >&2
    diff "$work/resolve-ours.txt" "$work/resolve-make.txt" | head -5 >&2
    exit 1
fi
echo "outputs agree: $(wc -l <"$work/resolve-ours.txt") files"

nanoseconds() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $((end - start))
}

ours=()
peer=()
for ((i = 0; i < rounds; i++)); do
    ours+=("$(nanoseconds run_ours)")
    peer+=("$(nanoseconds run_make)")
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
o=$(median "${ours[@]}")
m=$(median "${peer[@]}")
awk -v o="$o" -v m="$m" -v r="$rounds" 'BEGIN {
    printf "load + resolve + expand, 20,000 files: %.1f ms (median of %d)\n", o / 1e6, r
    printf "make -n on the same definitions:       %.1f ms (median of %d)\n", m / 1e6, r
    printf "ratio ours / make -n: %.2f (target at most 1.0)\n", o / m
}'
