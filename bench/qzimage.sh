#!/usr/bin/env bash
# qzimage.sh BUILD_DIR: converts a 16 MiB image binary -> Intel HEX -> binary and
# binary -> S-record -> binary with qzimage, arm-none-eabi-objcopy and srec_cat, the three
# tools taking turns in every round. Each tool reads back its own text file. Prints the
# median wall time of each step, qzimage's peak memory (GNU time), and for each direction the
# median of the per-round ratios qzimage / objcopy and qzimage / srec_cat.
# Fails when qzimage is slower than the faster peer in a direction or needs more than four
# times the image in memory; the target is at most 0.5x objcopy in every direction.
set -euo pipefail
build=$1
qzimage=$(cd "$build/bin" && pwd)/qzimage
runs=${QZIMAGE_BENCH_RUNS:-5}
size=$((16 << 20))
for tool in srec_cat arm-none-eabi-objcopy python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "qzimage.sh: $tool is missing"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Random bytes from a fixed seed: every run converts the same image.
python3 -c "import random, sys; sys.stdout.buffer.write(random.Random(1).randbytes($size))" \
    >image.bin

tools=(qzimage objcopy srec_cat)
# command_for TOOL FORMAT DIRECTION: sets `cmd` to the tool's command for the step and `output`
# to the file it writes.
command_for() {
    local tool=$1 format=$2 direction=$3
    local ext=$([ "$format" = ihex ] && echo hex || echo srec)
    local catfmt=$([ "$format" = ihex ] && echo -intel || echo -motorola)
    local text=$tool.$ext
    if [ "$direction" = there ]; then
        output=$text
        case $tool in
        qzimage) cmd=("$qzimage" convert image.bin "$text") ;;
        objcopy) cmd=(arm-none-eabi-objcopy -I binary -O "$format" image.bin "$text") ;;
        srec_cat) cmd=(srec_cat image.bin -binary -o "$text" "$catfmt") ;;
        esac
    else
        output=$tool.bin
        case $tool in
        qzimage) cmd=("$qzimage" convert "$text" "$output") ;;
        objcopy) cmd=(arm-none-eabi-objcopy -I "$format" -O binary "$text" "$output") ;;
        srec_cat) cmd=(srec_cat "$text" "$catfmt" -o "$output" -binary) ;;
        esac
    fi
}

# Wall time in ms of one run (its output removed first); its peak memory goes to time.txt.
run_once() {
    rm -f "$output"
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f %M -o time.txt "${cmd[@]}" >/dev/null 2>err.txt || {
        echo "failed: ${cmd[*]}" >&2; cat err.txt >&2; exit 1; }
    end=$(date +%s%N)
    echo $(( (end - start) / 1000000 ))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

status=0
limit_kb=$((4 * size / 1024))
printf '%-6s %-14s %12s %12s %12s %9s %9s %10s\n' format step "qzimage ms" "objcopy ms" \
    "srec_cat ms" "/objcopy" "/srec_cat" "peak KiB"
for format in ihex srec; do
    ext=$([ $format = ihex ] && echo hex || echo srec)
    for direction in there back; do
        declare -A times=()
        peak=0
        for ((i = 0; i < runs; i++)); do
            for tool in "${tools[@]}"; do
                command_for "$tool" "$format" "$direction"
                ms=$(run_once)
                kb=$(tail -n 1 time.txt)
                times[$tool]+="$ms "
                if [ "$tool" = qzimage ] && ((kb > peak)); then peak=$kb; fi
            done
        done
        if [ $direction = back ]; then
            for tool in "${tools[@]}"; do
                cmp -s image.bin "$tool.bin" || {
                    echo "$tool: $format round trip changed the image"; status=1; }
            done
        fi
        ratio() { # median of the per-round ratios qzimage / $1
            paste <(tr ' ' '\n' <<<"${times[qzimage]}") <(tr ' ' '\n' <<<"${times[$1]}") |
                awk '$2 > 0 { print $1 / $2 }' | median
        }
        q=$(tr ' ' '\n' <<<"${times[qzimage]}" | grep . | median)
        o=$(tr ' ' '\n' <<<"${times[objcopy]}" | grep . | median)
        s=$(tr ' ' '\n' <<<"${times[srec_cat]}" | grep . | median)
        ro=$(ratio objcopy)
        rs=$(ratio srec_cat)
        step=$([ $direction = there ] && echo "bin -> $ext" || echo "$ext -> bin")
        printf '%-6s %-14s %12s %12s %12s %9.2f %9.2f %10d\n' "$format" "$step" "$q" "$o" "$s" \
            "$ro" "$rs" "$peak"
        if awk -v a="$ro" -v b="$rs" 'BEGIN { exit !(a > 1 && b > 1) }'; then
            echo "FAIL: qzimage slower than both peers ($format $step)"; status=1
        fi
        if awk -v a="$ro" 'BEGIN { exit !(a > 0.5) }'; then
            echo "note: above the target of 0.5x objcopy ($format $step)"
        fi
        if ((peak > limit_kb)); then
            echo "FAIL: qzimage needs more than 4x the image ($limit_kb KiB)"; status=1
        fi
        unset times
    done
done
echo "ratios: median of $runs interleaved rounds, wall time"
exit $status
