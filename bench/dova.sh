#!/usr/bin/env bash
# dova.sh BUILD_DIR: dova end to end (load and preprocess the large generated memory map,
# place 50 sections, write the GNU script) against `xmllint --noout` on the same memory-map
# file, alternating in the same run, best of several rounds; then dova's peak memory as a
# multiple of the memory-map file's size.
# Targets: ratio (dova / xmllint) below 1, peak memory at most 5x the file.
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
dova=$build/bin/dova
work=$build/bench
mkdir -p "$work"
file=$work/memorymap-15.xml
placement=$work/placement-50.xml
script=$work/dova-bench.ld
rounds=${DOVA_BENCH_ROUNDS:-7}
[ -f "$file" ] || python3 "$root/bench/gen-memorymap.py" --size 15 -o "$file"
size=$(stat -c %s "$file")

# 50 sections over the generated device's memories: code and constants in flash, data copied
# to SRAM, RAM-resident code in CCM, heap and stack at the end of SRAM.
python3 - "$placement" <<'PY'
import sys
lines = ['<!DOCTYPE Board_Memory_Definition_File>', '<Root name="Benchmark placement">',
         '  <MemorySegment name="FLASH">',
         '    <ProgramSection name=".vectors" load="Yes" keep="Yes" alignment="256"/>']
lines += [f'    <ProgramSection name=".text{i}" load="Yes" alignment="4"/>' for i in range(20)]
lines += [f'    <ProgramSection name=".data{i}" load="Yes" runin=".data{i}_run"/>' for i in range(5)]
lines += ['    <ProgramSection name=".fast" load="Yes" runin=".fast_run"/>', '  </MemorySegment>',
          '  <MemorySegment name="SRAM">']
lines += [f'    <ProgramSection name=".data{i}_run" alignment="4"/>' for i in range(5)]
lines += [f'    <ProgramSection name=".bss{i}" alignment="4"/>' for i in range(15)]
lines += ['    <ProgramSection name=".heap" size="__HEAPSIZE__" alignment="8"/>',
          '    <ProgramSection name=".stack" size="__STACKSIZE__" alignment="8" '
          'place_from_segment_end="Yes"/>', '  </MemorySegment>',
          '  <MemorySegment name="CCM">', '    <ProgramSection name=".fast_run"/>',
          '  </MemorySegment>', '</Root>']
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY
count=$(grep -c '<ProgramSection' "$placement")
echo "memory map: $file ($size bytes); placement: $count sections"

run_dova() {
    "$dova" -memory-map-file "$file" -section-placement-file "$placement" \
        -symbols '__HEAPSIZE__=0x1000;__STACKSIZE__=0x800' -check-segment-overflow \
        -check-section-overflow "$script"
}
run_xmllint() { xmllint --noout "$file"; }

# Wall time of one run, in nanoseconds.
nanoseconds() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $((end - start))
}

run_dova >/dev/null # warm the page cache and check the run succeeds
best_dova=
best_xmllint=
for ((i = 0; i < rounds; i++)); do
    d=$(nanoseconds run_dova)
    x=$(nanoseconds run_xmllint)
    if [ -z "$best_dova" ] || [ "$d" -lt "$best_dova" ]; then best_dova=$d; fi
    if [ -z "$best_xmllint" ] || [ "$x" -lt "$best_xmllint" ]; then best_xmllint=$x; fi
done
awk -v d="$best_dova" -v x="$best_xmllint" -v r="$rounds" 'BEGIN {
    printf "dova end to end: %.1f ms (best of %d)\n", d / 1e6, r
    printf "xmllint --noout: %.1f ms (best of %d)\n", x / 1e6, r
    printf "ratio dova / xmllint: %.2f (target below 1)\n", d / x
}'

kib=$(/usr/bin/time -f %M "$dova" -memory-map-file "$file" -section-placement-file "$placement" \
    -symbols '__HEAPSIZE__=0x1000;__STACKSIZE__=0x800' "$script" 2>&1 >/dev/null | tail -n 1)
awk -v k="$kib" -v s="$size" \
    'BEGIN { printf "dova peak memory: %d KiB, %.2fx the file (target at most 5x)\n", k, k * 1024 / s }'
