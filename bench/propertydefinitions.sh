#!/usr/bin/env bash
# propertydefinitions.sh BUILD_DIR: registering a generated file of 5,000 XML property
# definitions (beside the built-in ones, in a fresh process) against `xmllint --noout` on
# the same file, alternating in the same run, best of several rounds.
# Target: ratio (ours / xmllint) at most 2.
set -euo pipefail
build=$1
bench=$build/bin/bench_propertydefinitions
work=$build/bench
mkdir -p "$work"
file=$work/propertydefinitions-5000.xml
rounds=${PROPERTY_BENCH_ROUNDS:-15}
"$bench" --generate 5000 "$file"
echo "definitions: $file ($(stat -c %s "$file") bytes)"

run_ours() { "$bench" --register "$file"; }
run_xmllint() { xmllint --noout "$file"; }

# Wall time of one run, in nanoseconds.
nanoseconds() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $((end - start))
}

run_ours # warm the page cache and check the run succeeds
best_ours=
best_xmllint=
for ((i = 0; i < rounds; i++)); do
    o=$(nanoseconds run_ours)
    x=$(nanoseconds run_xmllint)
    if [ -z "$best_ours" ] || [ "$o" -lt "$best_ours" ]; then best_ours=$o; fi
    if [ -z "$best_xmllint" ] || [ "$x" -lt "$best_xmllint" ]; then best_xmllint=$x; fi
done
awk -v o="$best_ours" -v x="$best_xmllint" -v r="$rounds" 'BEGIN {
    printf "register 5,000 definitions: %.1f ms (best of %d)\n", o / 1e6, r
    printf "xmllint --noout:            %.1f ms (best of %d)\n", x / 1e6, r
    printf "ratio ours / xmllint: %.2f (target at most 2)\n", o / x
}'
