#!/usr/bin/env bash
# qzpackage.sh BUILD_DIR: installs a 64 MiB, 2,000-file package with qzpackage and extracts
# the same tree with tar -xzf (gzip -7) in the same run. Prints the best of three elapsed
# times and the ratio ours/peer (target: at most 1.2).
set -euo pipefail

build=${1:?usage: qzpackage.sh BUILD_DIR}
bin=$(cd "$build" && pwd)/bin
for tool in qzpackage qzarchive; do
    [ -x "$bin/$tool" ] || { echo "qzpackage.sh: $bin/$tool is missing; build first" >&2; exit 1; }
done
runs=${QZPACKAGE_BENCH_RUNS:-3}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# 2,000 files of 32 KiB: half C-like text, half random bytes.
python3 - <<'PY'
import os, random
rng = random.Random(2000)
words = ["static", "int", "return", "if", "else", "for", "while", "struct", "const", "void"]
for f in range(2000):
    d = "tree/dir%02d" % (f % 40)
    os.makedirs(d, exist_ok=True)
    with open("%s/file%04d.%s" % (d, f, "c" if f % 2 else "bin"), "wb") as out:
        if f % 2:
            text = ""
            while len(text) < 32768:
                text += "    %s x_%d = %s(%d);\n" % (rng.choice(words), rng.randrange(1000),
                                                    rng.choice(words), rng.randrange(100000))
            out.write(text[:32768].encode())
        else:
            out.write(os.urandom(32768))
with open("tree/Bench_package.xml", "w") as out:
    out.write('<package name="Bench" version="1.0" installation_directory="$(PackagesDir)/out"/>')
PY
(cd tree && "$bin/qzarchive" create ../Bench.qzPackage --format 2 --level 7 Bench_package.xml dir* >/dev/null)
(cd tree && tar -cf - dir* | gzip -7 >../bench.tar.gz)

best() {
    local best=""
    for ((i = 0; i < runs; i++)); do
        rm -rf pk out && mkdir out
        local start end
        start=$(date +%s.%N)
        bash -c "$1" >/dev/null || { echo "qzpackage.sh: $1 failed" >&2; exit 1; }
        end=$(date +%s.%N)
        local t
        t=$(awk "BEGIN{print $end - $start}")
        if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
    done
    echo "$best"
}

ours=$(best "'$bin/qzpackage' --dir pk install Bench.qzPackage --yes")
peer=$(best "tar -xzf bench.tar.gz -C out")
printf 'install 64 MiB / 2000 files: qzpackage %.3f s, tar -xzf %.3f s, ratio %.2f\n' \
    "$ours" "$peer" "$(awk "BEGIN{print $ours / $peer}")"
