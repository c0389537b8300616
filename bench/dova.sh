#!/usr/bin/env bash
# dova.sh BUILD_DIR: dova end to end (load and preprocess the large generated memory map,
# place 50 sections, write the GNU script) against a whole process that loads the same file
# with pugixml (pugixml-load, built here), alternating in the same run; the ratio is the
# median of the per-pair ratios. Then dova's peak memory as a multiple of the file's size.
# Targets: ratio (dova / pugixml) at most 1, peak memory at most 3x the file.
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
dova=$build/bin/dova
work=$build/bench
mkdir -p "$work"
mib=${DOVA_BENCH_MIB:-18}
file=$work/memorymap-$mib.xml
placement=$work/placement-50.xml
script=$work/dova-bench.ld
rounds=${DOVA_BENCH_ROUNDS:-7}
[ -f "$file" ] || python3 "$root/bench/gen-memorymap.py" --size "$mib" -o "$file"
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
run_pugixml() { "$build/bin/pugixml-load" "$file"; }

# Wall time of one run in nanoseconds, then its CPU time (user and system) in milliseconds,
# which other work on the machine disturbs less.
nanoseconds() {
    local start end cpu
    start=$(date +%s%N)
    cpu=$( { TIMEFORMAT='%3U %3S'; time "$@" >/dev/null; } 2>&1 | awk '{ print ($1 + $2) * 1000 }')
    end=$(date +%s%N)
    echo "$((end - start)) $cpu"
}

run_dova >/dev/null # warm the page cache and check the run succeeds
run_pugixml
pairs=()
for ((i = 0; i < rounds; i++)); do
    pairs+=("$(nanoseconds run_dova) $(nanoseconds run_pugixml)")
done
printf '%s\n' "${pairs[@]}" | awk -v r="$rounds" '
    function median(a, n,   i, j, t) {
        for (i = 2; i <= n; i++)
            for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    { d[NR] = $1; p[NR] = $3; q[NR] = $1 / $3; c[NR] = $4 > 0 ? $2 / $4 : 0 }
    END {
        printf "dova end to end: %.1f ms (median of %d)\n", median(d, r) / 1e6, r
        printf "pugixml load_file: %.1f ms (median of %d)\n", median(p, r) / 1e6, r
        printf "ratio dova / pugixml: %.2f (median of %d interleaved pairs; target at most 1)\n",
            median(q, r), r
        printf "CPU time ratio dova / pugixml: %.2f (median of %d interleaved pairs)\n",
            median(c, r), r
    }'

kib=$(/usr/bin/time -f %M "$dova" -memory-map-file "$file" -section-placement-file "$placement" \
    -symbols '__HEAPSIZE__=0x1000;__STACKSIZE__=0x800' "$script" 2>&1 >/dev/null | tail -n 1)
awk -v k="$kib" -v s="$size" \
    'BEGIN { printf "dova peak memory: %d KiB, %.2fx the file (target at most 3x)\n", k, k * 1024 / s }'
