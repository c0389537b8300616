#!/usr/bin/env bash
# memorymap.sh BUILD_DIR: loading a generated 15 MiB memory map through MemoryMap.
# 1. Half of the file inside <if>/<foreach>, preprocessing on, against the plain XML parse of
#    the same file, in one process (best CPU time of alternating rounds).
#    Target: at most 1.5x the parse.
# 2. The whole process loading the plain generated map (parse, preprocessing, addresses,
#    segment list) against `xmllint --noout` on it, wall time of fresh processes.
#    Target: faster than xmllint.
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
bench=$build/bin/bench_memorymap
wrapped=$build/bench/memorymap-pp-15.xml
plain=$build/bench/memorymap-15.xml
[ -f "$plain" ] || python3 "$root/bench/gen-memorymap.py" --size 15 -o "$plain"
[ -f "$wrapped" ] || python3 "$root/bench/wrap-memorymap.py" "$plain" -o "$wrapped"
echo "files: $wrapped ($(stat -c %s "$wrapped") bytes), $plain ($(stat -c %s "$plain") bytes)"

"$bench" --compare 10 "$wrapped"

if command -v hyperfine >/dev/null && command -v xmllint >/dev/null; then
    hyperfine --warmup 2 --runs 10 --export-json "$build/bench/memorymap-xmllint.json" \
        "$bench --load $plain" "xmllint --noout $plain" >/dev/null
    python3 - "$build/bench/memorymap-xmllint.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
ours, peer = (r["mean"] * 1000 for r in results)
print(f"whole process (mean of 10): memory map load {ours:.1f} ms, "
      f"xmllint --noout {peer:.1f} ms, ratio {ours / peer:.2f}")
PY
else
    echo "hyperfine or xmllint missing: whole-process comparison skipped"
fi
