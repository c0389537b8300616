#!/usr/bin/env bash
# qzdebug.sh BUILD_DIR: reads the 256 KiB flash of QEMU's lm3s6965evb running the example
# firmware, with qzdebug (save 0 0x40000) and with gdb-multiarch (dump binary memory) on the
# same QEMU in the same run. Prints the best wall time of each over a few runs and the ratio;
# fails when qzdebug is slower or the two files differ.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${QZDEBUG_BENCH_RUNS:-5}
for tool in qemu-system-arm gdb-multiarch arm-none-eabi-gcc python3; do
    command -v "$tool" >/dev/null || { echo "qzdebug.sh: $tool is missing"; exit 1; }
done
work=$(mktemp -d)
qemu=
cleanup() {
    [ -n "$qemu" ] && kill "$qemu" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
"$build/bin/dova" -memory-map-file "$root/examples/demo_memory_map.xml" \
    -section-placement-file "$root/examples/demo_section_placement.xml" \
    -section-placement-macros FAST_RAM=RAM -symbols '__HEAPSIZE__=0x1000;__STACKSIZE__=0x800' \
    demo.ld >/dev/null
arm-none-eabi-gcc -mcpu=cortex-m3 -mthumb -O2 -nostdlib -ffreestanding \
    -fno-tree-loop-distribute-patterns -T demo.ld -Wl,-e,Reset_Handler \
    "$root/examples/firmware/startup.c" "$root/examples/firmware/main.c" -o demo.elf
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
qemu-system-arm -M lm3s6965evb -nographic -monitor none -serial null -S \
    -gdb "tcp:127.0.0.1:$port" -kernel demo.elf 2>/dev/null &
qemu=$!
for ((i = 0; i < 100; i++)); do
    python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null && break
    sleep 0.1
done
sleep 0.2

best() { # best wall milliseconds of "$@" over $runs runs
    local best=0 start end ms
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        "$@" >/dev/null 2>err.txt || { echo "failed: $*"; cat err.txt; exit 1; }
        end=$(date +%s%N)
        ms=$(( (end - start) / 1000000 ))
        if (( best == 0 || ms < best )); then best=$ms; fi
    done
    echo "$best"
}
ours=$(best "$build/bin/qzdebug" --remote "127.0.0.1:$port" save 0 0x40000 ours.bin)
theirs=$(best gdb-multiarch -batch -nx -ex "target remote 127.0.0.1:$port" \
    -ex 'dump binary memory theirs.bin 0 0x40000')
cmp -s ours.bin theirs.bin || { echo "qzdebug.sh: the two reads differ"; exit 1; }
ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
printf '%-14s %8s\n' reader "best ms" qzdebug "$ours" gdb-multiarch "$theirs"
echo "ratio (qzdebug / gdb-multiarch): $ratio"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.0) }' || { echo "qzdebug.sh: slower than gdb-multiarch"; exit 1; }
