#!/usr/bin/env bash
# qzarchive.sh BUILD_DIR: creates and extracts an archive of 64 MiB of mixed files (source
# text and random binary) with qzarchive, zlib level 7 and bzip2 level 9, on every processor
# online, and does the same with tar piped through gzip -7 and bzip2 -9 in the same run. Each
# comparison runs ours and the peer alternately QZARCHIVE_BENCH_RUNS times (default 3) and
# prints the median of the per-pair ratios ours/peer of elapsed time (targets: creating at most
# 0.6, extracting at most 1.1), the best elapsed and CPU times, peak memory (KiB), the
# extraction of our archive against one written on one thread (--threads 1; target: at most
# 1.1, the reader is the same) and the sizes, ours against one thread (target: at most 1.01)
# and against the peer. Other work on the machine shows in the elapsed times: the CPU times
# show the cost. QZARCHIVE_BENCH_THREADS=N passes --threads N to our creation (1: the writer
# of one thread, for a figure before and after).
set -euo pipefail

build=${1:?usage: qzarchive.sh BUILD_DIR}
tool=$(cd "$build" && pwd)/bin/qzarchive
[ -x "$tool" ] || { echo "qzarchive.sh: $tool is missing; build first" >&2; exit 1; }
for peer in tar gzip bzip2 python3 /usr/bin/time; do
    command -v "$peer" >/dev/null || { echo "qzarchive.sh: $peer is missing" >&2; exit 1; }
done
runs=${QZARCHIVE_BENCH_RUNS:-3}
threads=${QZARCHIVE_BENCH_THREADS:+--threads $QZARCHIVE_BENCH_THREADS}

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

# once COMMAND: one timed run in a fresh output directory; sets once_seconds, once_cpu (user
# plus system) and once_kib (peak resident set).
once() {
    local user system
    rm -rf out && mkdir out
    /usr/bin/time -f "%e %U %S %M" -o time.txt bash -c "$1"
    read -r once_seconds user system once_kib <time.txt
    once_cpu=$(awk "BEGIN{print $user + $system}")
}

ratio() { awk "BEGIN{printf \"%.2f\", ($1 > 0 ? $1 / ($2 > 0 ? $2 : 0.01) : 0)}"; }

median() { sort -n | awk '{v[NR] = $1} END {printf "%.2f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# pair PREFIX OURS PEER: `runs` interleaved pairs. Sets PREFIX_{ours,peer}_{time,cpu,peak}
# (best elapsed, best CPU, largest peak) and PREFIX_ratio, the median elapsed ratio.
pair() {
    local prefix=$1 side command ours_seconds ratios=""
    for side in ours peer; do
        eval "${prefix}_${side}_time= ${prefix}_${side}_cpu= ${prefix}_${side}_peak=0"
    done
    for ((i = 0; i < runs; i++)); do
        for side in ours peer; do
            [ "$side" = ours ] && command=$2 || command=$3
            once "$command"
            local t=${prefix}_${side}_time c=${prefix}_${side}_cpu p=${prefix}_${side}_peak
            if [ -z "${!t}" ] || awk "BEGIN{exit !($once_seconds < ${!t})}"; then
                eval "$t=$once_seconds"
            fi
            if [ -z "${!c}" ] || awk "BEGIN{exit !($once_cpu < ${!c})}"; then eval "$c=$once_cpu"; fi
            [ "$once_kib" -gt "${!p}" ] && eval "$p=$once_kib"
            [ "$side" = ours ] && ours_seconds=$once_seconds
        done
        ratios+="$(awk "BEGIN{printf \"%.4f\", $ours_seconds / ($once_seconds > 0 ? $once_seconds : 0.01)}")"$'\n'
    done
    eval "${prefix}_ratio=$(printf "%s" "$ratios" | median)"
}

verdict=ok
# report LABEL PREFIX TARGET: one line from PREFIX_{ours,peer}_{time,cpu,peak} and PREFIX_ratio.
report() {
    local label=$1 target=$3 mark=""
    local r=${2}_ratio ot=${2}_ours_time pt=${2}_peer_time oc=${2}_ours_cpu pc=${2}_peer_cpu
    local op=${2}_ours_peak pp=${2}_peer_peak
    if awk "BEGIN{exit !(${!r} > $target)}"; then
        mark="  over target $target"
        verdict="over target"
    fi
    printf "%-22s %6s %8s %8s %8s %8s %6s %9s %9s%s\n" "$label" "${!r}" "${!ot}" "${!pt}" \
        "${!oc}" "${!pc}" "$(ratio "${!oc}" "${!pc}")" "${!op}" "${!pp}" "$mark"
}

# The archive one thread writes, as the reference for sizes and extraction.
"$tool" create single-gz.qzArchive --format 2 --level 7 --threads 1 data
"$tool" create single-bz.qzArchive --bzip2 --level 9 --threads 1 data

pair gz_create "$tool create ours.qzArchive --format 2 --level 7 $threads data" \
    "tar -cf - data | gzip -7 > peer.tar.gz"
pair gz_extract "$tool extract ours.qzArchive -C out" "gzip -dc peer.tar.gz | tar -xf - -C out"
cmp -s out/data/bin/blob00.bin data/bin/blob00.bin || { echo "zlib extraction differs" >&2; exit 1; }
pair gz_single "$tool extract ours.qzArchive -C out" "$tool extract single-gz.qzArchive -C out"
gz_sizes="$(stat -c %s ours.qzArchive) $(stat -c %s single-gz.qzArchive) $(stat -c %s peer.tar.gz)"

pair bz_create "$tool create ours.qzArchive --bzip2 --level 9 $threads data" \
    "tar -cf - data | bzip2 -9 > peer.tar.bz2"
pair bz_extract "$tool extract ours.qzArchive -C out" "bzip2 -dc peer.tar.bz2 | tar -xf - -C out"
cmp -s out/data/src/file399.c data/src/file399.c || { echo "bzip2 extraction differs" >&2; exit 1; }
pair bz_single "$tool extract ours.qzArchive -C out" "$tool extract single-bz.qzArchive -C out"
bz_sizes="$(stat -c %s ours.qzArchive) $(stat -c %s single-bz.qzArchive) $(stat -c %s peer.tar.bz2)"

echo "qzarchive against tar | gzip -7 / bzip2 -9: $((input_bytes / 1048576)) MiB in 464 files," \
     "$(getconf _NPROCESSORS_ONLN) processors online, load $(cut -d' ' -f1-3 /proc/loadavg)" \
     "(median of $runs interleaved pairs)"
printf "%-22s %6s %8s %8s %8s %8s %6s %9s %9s\n" "" "ratio" "ours s" "peer s" "ours cpu" \
    "peer cpu" "ratio" "ours KiB" "peer KiB"
report "zlib 7 create" gz_create 0.6
report "zlib 7 extract" gz_extract 1.1
report "zlib 7 extract/1 thr" gz_single 1.1
report "bzip2 9 create" bz_create 0.6
report "bzip2 9 extract" bz_extract 1.1
report "bzip2 9 extract/1 thr" bz_single 1.1
sizes() {
    local label=$1 ours single peer mark=""
    read -r ours single peer
    if awk "BEGIN{exit !($ours > $single * 1.01)}"; then
        mark="  over target"
        verdict="over target"
    fi
    echo "$label sizes: ours $ours bytes, one thread $single ($(ratio "$ours" "$single")), peer" \
         "$peer ($(ratio "$ours" "$peer"))$mark"
}
sizes "zlib 7 " <<<"$gz_sizes"
sizes "bzip2 9" <<<"$bz_sizes"
echo "verdict: $verdict (targets: create at most 0.6, extract at most 1.1, sizes at most 1.01" \
     "of one thread)"
