#!/usr/bin/env bash
# scripthost.sh BUILD_DIR: BinaryFile.crc32 over a 64 MiB image against python3's
# zlib.crc32 over the same bytes, each timed inside its process (best of three), in seven
# interleaved pairs. Prints the median ratio and fails above 1.5.
set -euo pipefail
build=$1
qzscript=$(cd "$build/bin" && pwd)/qzscript
command -v python3 >/dev/null || { echo "scripthost.sh: python3 is missing"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 -c "import random, sys; sys.stdout.buffer.write(random.Random(2).randbytes(64 << 20))" \
    >image.bin
ratios=()
for ((pair = 0; pair < 7; pair++)); do
    qz=$("$qzscript" --host -e "BinaryFile.load('image.bin'); var best = 1e9;
        for (var k = 0; k < 3; k++) { var t = new Date(); BinaryFile.crc32(0, BinaryFile.length());
        var d = new Date() - t; if (d < best) best = d; } best")
    py=$(python3 -c "
import time, zlib
data = open('image.bin', 'rb').read()
best = 1e9
for k in range(3):
    t = time.perf_counter(); zlib.crc32(data); best = min(best, (time.perf_counter() - t) * 1000)
print(best)")
    ratios+=("$(python3 -c "print(max($qz, 1) / max($py, 0.001))")")
    echo "pair $pair: BinaryFile.crc32 ${qz} ms, zlib.crc32 ${py} ms"
done
median=$(printf '%s\n' "${ratios[@]}" | sort -g | sed -n 4p)
echo "BinaryFile.crc32 / zlib.crc32 over 64 MiB: median ratio $median (limit 1.5)"
python3 -c "import sys; sys.exit(0 if $median <= 1.5 else 1)"
