#!/usr/bin/env bash
# seriallink.sh BUILD_DIR: 16 MiB through a pseudo-terminal pair in 4 KiB reads, by
# HSerialLink (bench_seriallink) and by pyserial in the same run; prints both rates and the
# ratio. Fails when HSerialLink is slower or an idle read uses 5 % of a core or more.
set -euo pipefail
build=$1
# The Debian package installs pyserial for the system interpreter.
py=/usr/bin/python3
[ -x "$py" ] || py=python3
"$py" -c 'import serial' 2>/dev/null || { echo "seriallink.sh: python3-serial is missing"; exit 1; }
ours=$("$build/bin/bench_seriallink")
rate=$(awk '/^MiB\/s/ { print $2 }' <<<"$ours")
idle=$(awk '/^idle-cpu-percent/ { print $2 }' <<<"$ours")
peer=$("$py" - <<'PY'
import os, pty, threading, time, serial, tty
total, block = 16 << 20, 4096
master, slave = pty.openpty()
port = serial.Serial(os.ttyname(slave), 4000000, timeout=1)
def write():
    data = b"x" * block
    sent = 0
    while sent < total:
        sent += os.write(master, data)
threading.Thread(target=write, daemon=True).start()
received = 0
start = time.monotonic()
while received < total:
    got = port.read(block)
    if not got:
        break
    received += len(got)
print("%.1f" % (total / (1 << 20) / (time.monotonic() - start)))
PY
)
ratio=$(awk -v a="$rate" -v b="$peer" 'BEGIN { printf "%.2f", a / b }')
printf '%-12s %10s\n' reader "MiB/s"
printf '%-12s %10s\n' HSerialLink "$rate" pyserial "$peer"
echo "ratio (HSerialLink / pyserial): $ratio; idle read: $idle % of a core"
awk -v r="$ratio" -v i="$idle" 'BEGIN { exit !(r >= 1.0 && i < 5.0) }' || {
    echo "seriallink.sh: slower than pyserial or busy while idle"; exit 1; }
