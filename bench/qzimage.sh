#!/usr/bin/env bash
# qzimage.sh BUILD_DIR: converts a 16 MiB image binary -> Intel HEX -> binary and
# binary -> S-record -> binary with qzimage, srec_cat and arm-none-eabi-objcopy in the same
# run. Prints the best wall time of each step, the peak memory (GNU time), and qzimage's
# ratio to the faster peer. Fails when qzimage is slower than that peer or needs more than
# four times the image in memory.
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

best_ms=0
peak_kb=0
# measure OUTPUT COMMAND...: runs the command $runs times (OUTPUT removed first, so every tool
# writes a new file) and sets best_ms and peak_kb.
measure() {
    local output=$1; shift
    best_ms=0; peak_kb=0
    for ((i = 0; i < runs; i++)); do
        rm -f "$output"
        local start end ms kb
        start=$(date +%s%N)
        /usr/bin/time -v -o time.txt "$@" >/dev/null 2>err.txt || {
            echo "failed: $*"; cat err.txt; exit 1; }
        end=$(date +%s%N)
        ms=$(( (end - start) / 1000000 ))
        kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' time.txt)
        if (( best_ms == 0 || ms < best_ms )); then best_ms=$ms; fi
        if (( kb > peak_kb )); then peak_kb=$kb; fi
    done
}

status=0
limit_kb=$((4 * size / 1024))
printf '%-10s %-8s %-22s %9s %9s %12s\n' format tool step "best ms" "total ms" "peak KiB"
for format in ihex srec; do
    ext=$([ $format = ihex ] && echo hex || echo srec)
    objfmt=$format
    catfmt=$([ $format = ihex ] && echo -intel || echo -motorola)
    declare -A total=()
    for tool in qzimage srec_cat objcopy; do
        case $tool in
        qzimage)
            there=("$qzimage" convert image.bin "out.$ext")
            back=("$qzimage" convert "out.$ext" back.bin) ;;
        srec_cat)
            there=(srec_cat image.bin -binary -o "out.$ext" "$catfmt")
            back=(srec_cat "out.$ext" "$catfmt" -o back.bin -binary) ;;
        objcopy)
            there=(arm-none-eabi-objcopy -I binary -O "$objfmt" image.bin "out.$ext")
            back=(arm-none-eabi-objcopy -I "$objfmt" -O binary "out.$ext" back.bin) ;;
        esac
        measure "out.$ext" "${there[@]}"
        there_ms=$best_ms; there_kb=$peak_kb
        measure back.bin "${back[@]}"
        back_ms=$best_ms; back_kb=$peak_kb
        cmp -s image.bin back.bin || { echo "$tool: $format round trip changed the image"; status=1; }
        total[$tool]=$((there_ms + back_ms))
        printf '%-10s %-8s %-22s %9d %9s %12d\n' "$format" "$tool" "bin -> $ext" "$there_ms" "" "$there_kb"
        printf '%-10s %-8s %-22s %9d %9d %12d\n' "$format" "$tool" "$ext -> bin" "$back_ms" \
            "${total[$tool]}" "$back_kb"
        if [ $tool = qzimage ] && (( there_kb > limit_kb || back_kb > limit_kb )); then
            echo "FAIL: qzimage needs more than 4x the image ($limit_kb KiB)"; status=1
        fi
    done
    peer=$(( total[srec_cat] < total[objcopy] ? total[srec_cat] : total[objcopy] ))
    ratio=$(awk -v a="${total[qzimage]}" -v b="$peer" 'BEGIN { printf "%.2f", a / b }')
    verdict=ok
    if (( total[qzimage] > peer )); then verdict=FAIL; status=1; fi
    echo "$format: qzimage ${total[qzimage]} ms, faster peer $peer ms, ratio $ratio ($verdict)"
    unset total
done
exit $status
