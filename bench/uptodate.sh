#!/usr/bin/env bash
# bench/uptodate.sh BUILD_DIR: 1,000 C files, each including 20 of 50 shared headers, built
# once by ninja (deps=gcc, with a stand-in compiler that writes the object and the
# dependency file gcc -MD -MP would). Then times the no-op check of bench_uptodate against a
# no-op `ninja` and `make` (-include of the .d files) on the same files, in the same run
# (hyperfine). The check looks at every time and reads what the dependency files say from its
# cache file, as our no-op build does; ninja reads its binary deps log. The machine may be
# loaded: compare the processor times.
set -euo pipefail
build=$(cd "$1" && pwd)
bench=$build/bin/bench_uptodate
runs=${BENCH_RUNS:-20}
count=1000
[ -x "$bench" ] || { echo "no $bench: build first" >&2; exit 1; }
for tool in ninja make hyperfine; do
    command -v $tool >/dev/null || { echo "$tool is missing: install the Debian package $tool" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p src include obj
for h in $(seq 0 49); do echo "#define H$h $h" > include/h$h.h; done
cat > fakecc <<'CC'
#!/bin/sh
# fakecc SOURCE OBJECT: the object, and its dependency file naming the headers included.
headers=$(sed -n 's/^#include "\(.*\)"$/include\/\1/p' "$1" | tr '\n' ' ')
printf '%s: %s %s\n' "$2" "$1" "$headers" > "$2.d"
for h in $headers; do printf '%s:\n' "$h" >> "$2.d"; done
: > "$2"
CC
chmod +x fakecc
{
    echo 'rule cc'
    echo '  command = ./fakecc $in $out'
    echo '  depfile = $out.d'
    echo '  deps = gcc'
} > build.ninja
{
    echo 'all:'
} > Makefile
for n in $(seq 0 $((count - 1))); do
    {
        for k in $(seq 0 19); do echo "#include \"h$(( (n * 7 + k * 3) % 50 )).h\""; done
        echo "int f$n(void) { return $n; }"
    } > src/$n.c
    echo "build obj/$n.o: cc src/$n.c" >> build.ninja
    printf 'all: obj/%d.o\nobj/%d.o: src/%d.c\n\t./fakecc $< $@\n' $n $n $n >> Makefile
done
echo '-include obj/*.d' >> Makefile
# ninja moves dependency files into its log; the check and make read them where they are.
touch -d '1 minute ago' src/* include/*
ninja -d keepdepfile -j2 >/dev/null
ninja -n | grep -q 'no work to do' || { echo "ninja is not up to date" >&2; exit 1; }
make -q || { echo "make is not up to date" >&2; exit 1; }
"$bench" --check "$work" $count

hyperfine -N --warmup 3 --runs "$runs" --export-json times.json \
    "$bench --check $work $count" "ninja" "make -q" >/dev/null 2>&1
python3 - times.json <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
names = ["check", "ninja", "make -q"]
for name, x in zip(names, r):
    print(f"{name:8} median {x['median']*1000:7.1f} ms   cpu {(x['user']+x['system'])*1000:7.1f} ms")
print(f"check / ninja: {r[0]['median']/r[1]['median']:.2f}x wall, "
      f"{(r[0]['user']+r[0]['system'])/(r[1]['user']+r[1]['system']):.2f}x cpu")
PY
