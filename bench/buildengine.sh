#!/usr/bin/env bash
# bench/buildengine.sh BUILD_DIR: qzbuild against ninja (deps=gcc) on the same C files, in the
# same run (hyperfine), with the host gcc as the compiler of both:
#  - a no-op build of 1,000 files, each including 20 of 50 shared headers (also `make -q`
#    with -include of the dependency files); aim: at most 1.5x ninja;
#  - a full -j2 build of 200 of those files from nothing; aim: at most 1.05x ninja -j2.
# The machine may be loaded: the processor times are printed beside the wall times.
set -euo pipefail
build=$(cd "$1" && pwd)
qzbuild=$build/bin/qzbuild
runs=${BENCH_RUNS:-10}
[ -x "$qzbuild" ] || { echo "no $qzbuild: build first" >&2; exit 1; }
for tool in gcc ninja make hyperfine; do
    command -v $tool >/dev/null || { echo "$tool is missing: install the Debian package $tool" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# tree DIR COUNT: the sources, a solution of one "Object file" project, a ninja file and a
# make file that compile them into separate directories.
tree() {
    local dir=$1 count=$2
    mkdir -p "$dir/src" "$dir/include"
    for h in $(seq 0 49); do echo "#define H$h $h" >"$dir/include/h$h.h"; done
    local compile='gcc -Iinclude -MD -MF $(DependencyPath) -c $(InputPath) -o $(TargetPath)'
    {
        echo '<!DOCTYPE Palindor_Project_File>'
        echo '<solution Name="Bench">'
        echo '  <configuration Name="Release"/>'
        echo '  <project Name="Objects">'
        echo "    <configuration Name=\"Common\" project_type=\"Object file\" build_intermediate_directory=\"qz\" external_c_compile_command=\"$compile\"/>"
        for n in $(seq 0 $((count - 1))); do echo "    <file file_name=\"src/$n.c\"/>"; done
        echo '  </project>'
        echo '</solution>'
    } >"$dir/bench.qzProject"
    {
        echo 'rule cc'
        echo '  command = gcc -Iinclude -MD -MF $out.d -c $in -o $out'
        echo '  depfile = $out.d'
        echo '  deps = gcc'
    } >"$dir/build.ninja"
    echo 'all:' >"$dir/Makefile"
    for n in $(seq 0 $((count - 1))); do
        {
            for k in $(seq 0 19); do echo "#include \"h$(( (n * 7 + k * 3) % 50 )).h\""; done
            echo "int f$n(void) { return $n; }"
        } >"$dir/src/$n.c"
        echo "build nj/$n.o: cc src/$n.c" >>"$dir/build.ninja"
        printf 'all: mk/%d.o\nmk/%d.o: src/%d.c\n\t@mkdir -p mk\n\tgcc -Iinclude -MD -MF $@.d -c $< -o $@\n' \
            "$n" "$n" "$n" >>"$dir/Makefile"
    done
    echo '-include mk/*.d' >>"$dir/Makefile"
}

report() { # JSON LABELS...: median wall and processor times, and the ratios to the second
    python3 - "$@" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
for name, x in zip(sys.argv[2:], r):
    print(f"  {name:8} median {x['median']*1000:8.1f} ms   cpu {(x['user']+x['system'])*1000:8.1f} ms")
cpu = lambda x: x['user'] + x['system']
print(f"  qzbuild / ninja: {r[0]['median']/r[1]['median']:.2f}x wall, {cpu(r[0])/cpu(r[1]):.2f}x cpu")
PY
}

echo "no-op build of 1000 files"
tree "$work/noop" 1000
cd "$work/noop"
touch -d '1 minute ago' src/* include/*
"$qzbuild" bench.qzProject -config Release -j 2 >/dev/null
ninja -j2 >/dev/null
make -s -j2 >/dev/null
"$qzbuild" bench.qzProject -config Release | tail -n 1 | grep -q 'Build up to date' ||
    { echo "qzbuild is not up to date" >&2; exit 1; }
ninja -n | grep -q 'no work to do' || { echo "ninja is not up to date" >&2; exit 1; }
make -q || { echo "make is not up to date" >&2; exit 1; }
hyperfine -N --warmup 2 --runs "$runs" --export-json times.json \
    "$qzbuild bench.qzProject -config Release" "ninja" "make -q" >/dev/null 2>&1
report times.json qzbuild ninja "make -q"

echo "full -j2 build of 200 files"
tree "$work/full" 200
cd "$work/full"
hyperfine --warmup 1 --runs "$(( (runs + 1) / 2 ))" --export-json times.json \
    --prepare 'rm -rf qz' "$qzbuild bench.qzProject -config Release -j 2" \
    --prepare 'rm -rf nj .ninja_log .ninja_deps' "ninja -j2" >/dev/null 2>&1
report times.json qzbuild ninja
