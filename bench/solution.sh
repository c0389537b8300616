#!/usr/bin/env bash
# solution.sh BUILD_DIR: loading and saving a generated solution of 20,000 files (~8 MiB)
# against `xmllint --format` on the same file, alternating in the same run, best of several
# rounds; and the peak resident size of our run against the file size.
# Targets: time ratio (ours / xmllint) at most 1.5, peak memory at most 6 times the file.
set -euo pipefail
build=$1
bench=$build/bin/bench_solution
work=$build/bench
mkdir -p "$work"
file=$work/solution-20000.qzProject
rounds=${SOLUTION_BENCH_ROUNDS:-7}
"$bench" --generate 20000 "$file"
size=$(stat -c %s "$file")
echo "solution: $file ($size bytes)"

run_ours() { "$bench" --load-save "$file" "$work/solution-saved.qzProject"; }
run_xmllint() { xmllint --format "$file" >"$work/solution-xmllint.xml"; }

nanoseconds() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $((end - start))
}

peak_kib=$(run_ours) # warms the page cache, checks the run and measures its peak memory
best_ours=
best_xmllint=
for ((i = 0; i < rounds; i++)); do
    o=$(nanoseconds run_ours)
    x=$(nanoseconds run_xmllint)
    if [ -z "$best_ours" ] || [ "$o" -lt "$best_ours" ]; then best_ours=$o; fi
    if [ -z "$best_xmllint" ] || [ "$x" -lt "$best_xmllint" ]; then best_xmllint=$x; fi
done
awk -v o="$best_ours" -v x="$best_xmllint" -v r="$rounds" -v p="$peak_kib" -v s="$size" 'BEGIN {
    printf "load + save 20,000 files: %.1f ms (best of %d)\n", o / 1e6, r
    printf "xmllint --format:         %.1f ms (best of %d)\n", x / 1e6, r
    printf "ratio ours / xmllint: %.2f (target at most 1.5)\n", o / x
    printf "peak memory: %.1f MiB, %.2f times the file (target at most 6)\n", p / 1024, p * 1024 / s
}'
