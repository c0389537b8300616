#!/usr/bin/env bash
# firmware_build.sh BUILD_DIR SOURCE_DIR: builds the example solution with qzbuild and the real
# cross compiler in a scratch copy, and checks what a user relies on: the firmware lands where
# the memory map says, a second build does nothing, an edit rebuilds exactly what depends on it,
# a compile error fails the build, -uptodate agrees and -clean leaves the sources.
# Exits 77 (skipped) without the cross tools, unless CI=true.
set -u
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
qzbuild=$build/bin/qzbuild
for tool in arm-none-eabi-gcc arm-none-eabi-nm arm-none-eabi-ar; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is missing: install the Debian package gcc-arm-none-eabi"
        [ "${CI:-}" = true ] && exit 1
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$source/examples/." "$work/"
elf=$work/Output/Flash/Exe/Demo.elf
library=$work/Output/Flash/Exe/Checks.a

fail() {
    echo "FAIL: $*"
    echo "--- last qzbuild output:"
    cat "$work/log"
    exit 1
}
# qzbuild ARGUMENTS...: the build's output in $work/log, its exit status in $status.
qz() {
    "$qzbuild" "$work/demo.qzProject" -config Flash "$@" >"$work/log" 2>&1
    status=$?
}
last_line() { tail -n 1 "$work/log"; }
count() { grep -c "^$1" "$work/log"; }
# Later than anything built so far, on any file system clock.
edit() {
    sleep 0.05
    touch "$@"
}

qz
[ $status -eq 0 ] || fail "the first build exits $status"
[ "$(last_line)" = "Build complete" ] || fail "the first build does not end with Build complete"
[ "$(count Compiling)" -eq 3 ] || fail "the first build does not compile three files"
grep -q "^Archiving Checks.a" "$work/log" || fail "the library is not archived"
arm-none-eabi-ar t "$library" | grep -q '^checks.o$' || fail "checks.o is not in the library"

address() { arm-none-eabi-nm "$elf" | awk -v name="$1" '$3 == name { print $1 }'; }
reset=$(address Reset_Handler)
data=$(address blink_count)
[ -n "$reset" ] && [ $((16#$reset)) -lt $((0x40000)) ] || fail "Reset_Handler ($reset) is not in flash"
[ -n "$data" ] && [ $((16#$data)) -ge $((0x20000000)) ] && [ $((16#$data)) -lt $((0x20010000)) ] ||
    fail ".data (blink_count at $data) is not in RAM"
[ -n "$(address boot_checks)" ] || fail "the boot checks were not linked from the library"

qz
[ $status -eq 0 ] && [ "$(last_line)" = "Build up to date" ] || fail "a second build is not up to date"
[ "$(count Compiling)" -eq 0 ] || fail "a second build compiles"
qz -uptodate
[ $status -eq 0 ] && [ "$(cat "$work/log")" = "Project up to date" ] || fail "-uptodate disagrees"

edit "$work/firmware/main.c"
qz -uptodate
[ $status -eq 1 ] && [ "$(cat "$work/log")" = "Project out of date" ] || fail "-uptodate misses an edit"
qz
[ "$(last_line)" = "Build complete" ] || fail "the build after an edit does not complete"
[ "$(count Compiling)" -eq 1 ] && grep -q "^Compiling main.c" "$work/log" ||
    fail "an edited source does not recompile alone"
grep -q "^Linking Demo.elf" "$work/log" || fail "an edited source does not relink"
[ "$(count Archiving)" -eq 0 ] && [ "$(count Generating)" -eq 0 ] || fail "an edited source rebuilds more than it needs"

edit "$work/firmware/startup_common.h"
qz
[ "$(count Compiling)" -eq 1 ] && grep -q "^Compiling startup.c" "$work/log" ||
    fail "an edited header does not recompile exactly its dependents"

edit "$work/demo_memory_map.xml"
qz
[ "$(count Compiling)" -eq 0 ] && grep -q "^Generating linker script" "$work/log" &&
    grep -q "^Linking Demo.elf" "$work/log" || fail "an edited memory map does not regenerate the script and relink"

# A changed dova symbol is an input of the script as much as the files are.
sed -i 's/__HEAPSIZE__=0x1000/__HEAPSIZE__=0x800/' "$work/demo.qzProject"
qz
[ "$(count Compiling)" -eq 0 ] && grep -q "^Generating linker script" "$work/log" &&
    grep -q "^Linking Demo.elf" "$work/log" || fail "a changed linker symbol does not regenerate the script and relink"

# A make file of the same build agrees on what is out of date and links the same firmware.
if command -v make >/dev/null; then
    qz -export-makefile "$work/demo.mak"
    [ $status -eq 0 ] || fail "-export-makefile exits $status"
    (cd "$work" && make -q -f demo.mak) || fail "make -q finds work in an up-to-date build"
    edit "$work/firmware/startup_common.h"
    (cd "$work" && make -q -f demo.mak) && fail "make -q misses an edited header"
    qz -uptodate
    [ $status -eq 1 ] || fail "-uptodate misses an edited header"
    (cd "$work" && make -s -f demo.mak >"$work/log" 2>&1) || fail "make fails on the exported make file"
    cp "$elf" "$work/make.elf"
    qz -rebuild
    cmp -s "$elf" "$work/make.elf" || fail "make and qzbuild link different firmware"

    # User build steps run in the same order under make as under qzbuild, and only when due.
    cp "$work/demo.qzProject" "$work/demo.plain"
    printf 'echo "$1" >>steps.log\nshift\nexec "$@"\n' >"$work/step.sh"
    steps='pre_build_command="sh step.sh pre-build" linker_pre_build_command="sh step.sh pre-link"'
    steps="$steps compile_pre_build_command=\"sh step.sh pre-compile-\$(InputName)\""
    steps="$steps compile_post_build_command=\"sh step.sh post-compile-\$(InputName)\""
    steps="$steps linker_post_build_command_output_file=\"\$(OutDir)/Demo.bin\""
    steps="$steps linker_post_build_command=\"sh step.sh post-link arm-none-eabi-objcopy -O binary \$(OutDir)/Demo.elf \$(PostLinkOutputFilePath)\""
    steps="$steps post_build_command=\"sh step.sh post-build\""
    sed -i "s|<configuration Name=\"Common\" link_include_standard_libraries|<configuration Name=\"Common\" $steps link_include_standard_libraries|" \
        "$work/demo.qzProject"
    qz -rebuild -j 1
    [ $status -eq 0 ] || fail "a build with user steps fails"
    mv "$work/steps.log" "$work/qzbuild.steps"
    grep -qx post-compile-main "$work/qzbuild.steps" && [ "$(head -n 1 "$work/qzbuild.steps")" = pre-build ] ||
        fail "qzbuild does not run the user steps"
    cp "$work/Output/Flash/Exe/Demo.bin" "$work/qzbuild.bin"
    qz -export-makefile "$work/demo.mak"
    (cd "$work" && make -q -f demo.mak) || fail "make -q finds work after a build with user steps"
    qz -clean
    (cd "$work" && make -s -f demo.mak >"$work/log" 2>&1) || fail "make fails on a make file with user steps"
    cmp -s "$work/qzbuild.steps" "$work/steps.log" || fail "make runs the user steps in another order"
    cmp -s "$work/qzbuild.bin" "$work/Output/Flash/Exe/Demo.bin" || fail "make's post-link output differs"
    rm "$work/steps.log"
    (cd "$work" && make -s -f demo.mak) && [ ! -e "$work/steps.log" ] || fail "make runs user steps with nothing to do"
    qz
    [ "$(last_line)" = "Build up to date" ] || fail "qzbuild is not up to date after make"
    cp "$work/demo.plain" "$work/demo.qzProject"
fi

cp "$work/firmware/main.c" "$work/main.c.saved"
echo "int broken = ;" >>"$work/firmware/main.c"
qz
[ $status -eq 1 ] && [ "$(last_line)" = "Build failed" ] || fail "a syntax error does not fail the build"
grep -q "main.c:.*error:" "$work/log" || fail "the compiler's error is not shown"
cp "$work/main.c.saved" "$work/firmware/main.c"
edit "$work/firmware/main.c"
qz
[ $status -eq 0 ] || fail "the build after mending the error fails"

# A launcher sees exactly the compiles; with ccache and a scratch cache a rebuild hits.
cat >"$work/record" <<'SH'
#!/bin/sh
echo "$*" >>"${0%/*}/record.log"
exec "$@"
SH
chmod +x "$work/record"
cp "$work/demo.qzProject" "$work/demo.saved"
launch() {
    cp "$work/demo.saved" "$work/demo.qzProject"
    sed -i "0,/<configuration Name=\"Common\" /s||<configuration Name=\"Common\" build_compiler_launcher=\"$1\" |" \
        "$work/demo.qzProject"
}
launch "$work/record"
qz -rebuild
[ $status -eq 0 ] && [ "$(wc -l <"$work/record.log")" -eq 3 ] && ! grep -qv -- ' -c ' "$work/record.log" ||
    fail "the launcher does not run exactly the three compiles"
if command -v ccache >/dev/null; then
    export CCACHE_DIR=$work/ccache
    launch ccache
    qz -rebuild
    qz -rebuild
    [ $status -eq 0 ] || fail "a rebuild through ccache fails"
    hits=$(ccache --print-stats | awk '$1 ~ /^(direct|preprocessed)_cache_hit$/ { n += $2 } END { print n + 0 }')
    [ "$hits" -ge 3 ] || fail "a rebuild through ccache has $hits cache hits"
    qz
    [ "$(last_line)" = "Build up to date" ] || fail "a build through ccache is not up to date afterwards"
fi
cp "$work/demo.saved" "$work/demo.qzProject"

qz -clean
[ $status -eq 0 ] || fail "-clean exits $status"
[ ! -e "$elf" ] && [ ! -e "$library" ] || fail "-clean leaves the outputs"
for file in checks.c main.c startup.c startup_common.h; do
    [ -f "$work/firmware/$file" ] || fail "-clean removed the source $file"
done
[ -f "$work/demo_memory_map.xml" ] && [ -f "$work/demo_section_placement.xml" ] || fail "-clean removed an input"
echo "firmware build: all checks passed"
