#!/usr/bin/env bash
# qzarchive.sh BUILD_DIR: creates and extracts an archive of 64 MiB of mixed files (source
# text and random binary) with qzarchive, zlib level 7 and bzip2 level 9, and does the same
# with tar piped through gzip -7 and bzip2 -9 in the same run. Prints the best of three
# elapsed and CPU times, the ratios ours/peer (target: elapsed at most 1.1 in each
# direction), peak memory (KiB) and archive sizes.
set -euo pipefail

build=${1:?usage: qzarchive.sh BUILD_DIR}
tool=$(cd "$build" && pwd)/bin/qzarchive
[ -x "$tool" ] || { echo "qzarchive.sh: $tool is missing; build first" >&2; exit 1; }
for peer in tar gzip bzip2 python3 /usr/bin/time; do
    command -v "$peer" >/dev/null || { echo "qzarchive.sh: $peer is missing" >&2; exit 1; }
done
runs=${QZARCHIVE_BENCH_RUNS:-3}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# 32 MiB of C-like source in 400 files and 32 MiB of random bytes in 64 files.
python3 - <<'EOF'
import os, random
rng = random.Random(64)
words = ["static", "int", "uint32_t", "return", "if", "else", "for", "while", "struct",
         "const", "void", "char", "unsigned", "register", "volatile", "case", "break"]
os.makedirs("data/src", exist_ok=True)
os.makedirs("data/bin", exist_ok=True)
for f in range(400):
    lines, size = [], 0
    while size < 32 * 1024 * 1024 // 400:
        line = "    %s %s_%d = %s(%d, 0x%08x); /* %s */\n" % (
            rng.choice(words), rng.choice(words), rng.randrange(1000), rng.choice(words),
            rng.randrange(100000), rng.getrandbits(32), " ".join(rng.sample(words, 4)))
        lines.append(line)
        size += len(line)
    with open("data/src/file%03d.c" % f, "w") as out:
        out.write("".join(lines))
for f in range(64):
    with open("data/bin/blob%02d.bin" % f, "wb") as out:
        out.write(os.urandom(512 * 1024))
EOF
input_bytes=$(du -sb data | cut -f1)
cat data/*/* >/dev/null

# measure NAME COMMAND: the best elapsed and CPU (user + system) seconds of `runs`, and the
# largest peak resident set (KiB). CPU time shows the cost when other work shares the cores.
measure() {
    local name=$1 best="" cpu="" peak=0 seconds user system kib
    shift
    for ((i = 0; i < runs; i++)); do
        rm -rf out && mkdir out
        /usr/bin/time -f "%e %U %S %M" -o time.txt bash -c "$*"
        read -r seconds user system kib <time.txt
        local used
        used=$(awk "BEGIN{print $user + $system}")
        if [ -z "$best" ] || awk "BEGIN{exit !($seconds < $best)}"; then best=$seconds; fi
        if [ -z "$cpu" ] || awk "BEGIN{exit !($used < $cpu)}"; then cpu=$used; fi
        [ "$kib" -gt "$peak" ] && peak=$kib
    done
    eval "${name}_time=$best ${name}_cpu=$cpu ${name}_peak=$peak"
}

ratio() { awk "BEGIN{printf \"%.2f\", ($1 > 0 ? $1 / ($2 > 0 ? $2 : 0.01) : 0)}"; }

verdict=ok
# report LABEL PREFIX: one line from PREFIX_{ours,peer}_{time,cpu,peak}.
report() {
    local label=$1 r c mark=""
    local ot=${2}_ours_time pt=${2}_peer_time oc=${2}_ours_cpu pc=${2}_peer_cpu
    local op=${2}_ours_peak pp=${2}_peer_peak
    r=$(ratio "${!ot}" "${!pt}")
    c=$(ratio "${!oc}" "${!pc}")
    if awk "BEGIN{exit !($r > 1.1)}"; then mark="  over target"; verdict="over target"; fi
    printf "%-16s %8s %8s %6s %8s %8s %6s %9s %9s%s\n" "$label" "${!ot}" "${!pt}" "$r" \
        "${!oc}" "${!pc}" "$c" "${!op}" "${!pp}" "$mark"
}

measure gz_create_ours "$tool create ours.qzArchive --format 2 --level 7 data"
measure gz_create_peer "tar -cf - data | gzip -7 > peer.tar.gz"
measure gz_extract_ours "$tool extract ours.qzArchive -C out"
cmp -s out/data/bin/blob00.bin data/bin/blob00.bin || { echo "zlib extraction differs" >&2; exit 1; }
measure gz_extract_peer "gzip -dc peer.tar.gz | tar -xf - -C out"
gz_sizes="$(stat -c %s ours.qzArchive) $(stat -c %s peer.tar.gz)"

measure bz_create_ours "$tool create ours.qzArchive --bzip2 --level 9 data"
measure bz_create_peer "tar -cf - data | bzip2 -9 > peer.tar.bz2"
measure bz_extract_ours "$tool extract ours.qzArchive -C out"
cmp -s out/data/src/file399.c data/src/file399.c || { echo "bzip2 extraction differs" >&2; exit 1; }
measure bz_extract_peer "bzip2 -dc peer.tar.bz2 | tar -xf - -C out"
bz_sizes="$(stat -c %s ours.qzArchive) $(stat -c %s peer.tar.bz2)"

echo "qzarchive against tar | gzip -7 / bzip2 -9: $((input_bytes / 1048576)) MiB in 464 files" \
     "(best of $runs runs)"
printf "%-16s %8s %8s %6s %8s %8s %6s %9s %9s\n" "" "ours s" "peer s" "ratio" "ours cpu" \
    "peer cpu" "ratio" "ours KiB" "peer KiB"
report "zlib 7 create" gz_create
report "zlib 7 extract" gz_extract
report "bzip2 9 create" bz_create
report "bzip2 9 extract" bz_extract
read -r ours peer <<<"$gz_sizes"
echo "zlib 7 sizes:  ours $ours bytes, peer $peer bytes (ratio $(ratio "$ours" "$peer"))"
read -r ours peer <<<"$bz_sizes"
echo "bzip2 9 sizes: ours $ours bytes, peer $peer bytes (ratio $(ratio "$ours" "$peer"))"
echo "verdict: $verdict (target: time ratio at most 1.1 in each direction)"
