#!/usr/bin/env bash
# xml.sh BUILD_DIR: our XML reader against pugixml on a generated 15 MiB memory map (parse
# time, best of several alternating rounds), the writer's throughput, and the peak memory of
# loading the file in a fresh process, as a multiple of the file size.
# Targets: parse at most 2x pugixml, peak memory at most 5x the file, writing >= 100 MB/s.
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
bench=$build/bin/bench_xml
file=$build/bench/memorymap-15.xml
[ -f "$file" ] || python3 "$root/bench/gen-memorymap.py" --size 15 -o "$file"
size=$(stat -c %s "$file")
echo "file: $file ($size bytes)"

"$bench" --compare 20 "$file"
"$bench" --write 10 "$file"

for reader in ours pugixml; do
    kib=$(/usr/bin/time -f %M "$bench" --parse-only "$reader" "$file" 2>&1 >/dev/null | tail -n 1)
    awk -v r="$reader" -v k="$kib" -v s="$size" \
        'BEGIN { printf "peak memory loading (%s): %d KiB, %.2fx the file\n", r, k, k * 1024 / s }'
done
