#!/usr/bin/env bash
# qzpackage.sh BUILD_DIR: two comparisons in one run, each as interleaved pairs (ours, peer)
# with the median elapsed time of each side:
#  - installing a 64 MiB, 2,000-file package with qzpackage against tar -xzf of the same tree
#    (gzip -7); target ratio at most 1.2;
#  - downloading a 256 MiB package from python's http.server on the loopback interface with
#    qzpackage (install --download-only: MD5 and SHA-256 checked while streaming, renamed when
#    verified) against curl -o; target ratio at most 1.1.
set -euo pipefail

build=${1:?usage: qzpackage.sh BUILD_DIR}
bin=$(cd "$build" && pwd)/bin
for tool in qzpackage qzarchive; do
    [ -x "$bin/$tool" ] || { echo "qzpackage.sh: $bin/$tool is missing; build first" >&2; exit 1; }
done
for peer in tar gzip curl python3; do
    command -v "$peer" >/dev/null || { echo "qzpackage.sh: $peer is missing" >&2; exit 1; }
done
runs=${QZPACKAGE_BENCH_RUNS:-5}

work=$(mktemp -d)
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null && { wait "$server" 2>/dev/null || true; }
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

seconds() { # COMMAND: elapsed seconds of one run
    local start end
    start=$(date +%s.%N)
    bash -c "$1" >/dev/null || { echo "qzpackage.sh: $1 failed" >&2; exit 1; }
    end=$(date +%s.%N)
    awk "BEGIN{print $end - $start}"
}

median() { sort -g | awk '{v[NR]=$1} END{print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# compare LABEL PREPARE OURS PEER: runs PREPARE before every timed command.
compare() {
    local label=$1 prepare=$2 ours=$3 peer=$4 a=() b=()
    for ((i = 0; i < runs; i++)); do
        bash -c "$prepare"
        a+=("$(seconds "$ours")")
        bash -c "$prepare"
        b+=("$(seconds "$peer")")
    done
    local m1 m2
    m1=$(printf '%s\n' "${a[@]}" | median)
    m2=$(printf '%s\n' "${b[@]}" | median)
    printf '%s: qzpackage %.3f s, %s %.3f s, ratio %.2f (median of %d interleaved pairs)\n' \
        "$label" "$m1" "${peer%% *}" "$m2" "$(awk "BEGIN{print $m1 / $m2}")" "$runs"
}

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

compare "install 64 MiB / 2000 files" "rm -rf pk out && mkdir out" \
    "'$bin/qzpackage' --dir pk install Bench.qzPackage --yes" \
    "tar -xzf bench.tar.gz -C out"

# 256 MiB of random bytes served from the loopback interface, listed with its sums.
mkdir www
head -c $((256 << 20)) /dev/urandom >www/Big.qzPackage
python3 - <<'PY'
import hashlib, os
data = open("www/Big.qzPackage", "rb").read()
with open("www/available_packages.xml", "w") as out:
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n<package_list>\n'
              '  <package name="Big" version="1.0" file_name="Big.qzPackage" url="Big.qzPackage" '
              'size="%d" md5="%s" sha256="%s"/>\n</package_list>\n'
              % (len(data), hashlib.md5(data).hexdigest(), hashlib.sha256(data).hexdigest()))
PY
(cd www && exec python3 -u -m http.server 0 --bind 127.0.0.1 >../server.log 2>&1) &
server=$!
for ((i = 0; i < 100; i++)); do
    grep -q ' port ' server.log 2>/dev/null && break
    sleep 0.1
done
url="http://127.0.0.1:$(sed -n 's/.* port \([0-9]*\).*/\1/p' server.log | head -1)"
"$bin/qzpackage" --dir dl --source "$url" refresh
compare "download 256 MiB" "rm -rf dl/downloads curl.out" \
    "'$bin/qzpackage' --dir dl install Big --download-only" \
    "curl -s -o curl.out '$url/Big.qzPackage'"
