#!/usr/bin/env python3
"""Writes a large, valid memory-map file for benchmarks.

The document has the shape of a board memory map: the declaration, the DOCTYPE
Board_Memory_Definition_File, a Root element, a few MemorySegment elements (name, start,
size, access), and RegisterGroup elements holding Register elements (name, start like
"+0x10", size, access, description), each with BitField children (name, start, size,
description). The output depends only on the options, so every run and machine gets the
same bytes.

Usage:
  gen-memorymap.py [--size MIB] [--registers N] [--groups N] [--fields N] [--seed N] [-o FILE]

  --size MIB       aim for about this many MiB (default 15) by choosing how many bit fields
                   a register has on average; ignored when --fields is given
  --registers N    number of Register elements (default 20000)
  --groups N       number of RegisterGroup elements they are spread over (default 200)
  --fields N       exactly N BitField elements per register
  --seed N         seed of the generator (default 1)
  -o FILE          output file (default standard output)
"""

import argparse
import random
import sys

ACCESS = ["ReadWrite", "ReadOnly", "WriteOnly"]
WORDS = ("enable clock output select mode status interrupt flag reset value counter "
         "prescaler channel trigger polarity filter edge level mask pending request "
         "transfer buffer half full empty overrun error parity break idle wakeup").split()

# Measured sizes of one register line and of one bit-field line, for --size.
REGISTER_BYTES = 155
FIELD_BYTES = 102


def description(rng, words):
    text = " ".join(rng.choice(WORDS) for _ in range(words))
    return text[0].upper() + text[1:]


def generate(out, registers, groups, fields_mean, fixed_fields, seed):
    rng = random.Random(seed)
    write = out.write
    write('<?xml version="1.0" encoding="UTF-8"?>\n')
    write("<!DOCTYPE Board_Memory_Definition_File>\n")
    write('<Root name="Benchmark Board">\n')
    segments = [("FLASH", 0x00000000, 0x00100000, "ReadOnly"),
                ("SRAM", 0x20000000, 0x00020000, "ReadWrite"),
                ("CCM", 0x10000000, 0x00010000, "ReadWrite"),
                ("Peripherals", 0x40000000, 0x20000000, "ReadWrite"),
                ("System", 0xE0000000, 0x00100000, "ReadWrite")]
    for name, start, size, access in segments[:3]:
        write(f'  <MemorySegment name="{name}" start="0x{start:08X}" size="0x{size:X}" '
              f'access="{access}"/>\n')
    write('  <MemorySegment name="Peripherals" start="0x40000000" size="0x20000000" '
          'access="ReadWrite">\n')
    per_group = max(1, registers // max(1, groups))
    made = 0
    group = 0
    while made < registers:
        base = 0x40000000 + group * 0x400
        write(f'    <RegisterGroup name="PERIPH{group}" start="0x{base:08X}" '
              f'description="{description(rng, 4)}">\n')
        for index in range(min(per_group, registers - made)):
            write(f'      <Register name="REG{made}" start="+0x{index * 4:X}" size="4" '
                  f'access="{rng.choice(ACCESS)}" description="{description(rng, 6)}">\n')
            if fixed_fields is not None:
                count = fixed_fields
            else:
                count = max(1, min(32, round(rng.uniform(0.5, 1.5) * fields_mean)))
            bit = 0
            for field in range(count):
                width = 1 if bit >= 31 else rng.choice([1, 1, 2, 4])
                write(f'        <BitField name="F{field}_{made}" start="{bit % 32}" '
                      f'size="{width}" description="{description(rng, 5)}"/>\n')
                bit += width
            write("      </Register>\n")
            made += 1
        write("    </RegisterGroup>\n")
        group += 1
    write("  </MemorySegment>\n")
    name, start, size, access = segments[4]
    write(f'  <MemorySegment name="{name}" start="0x{start:08X}" size="0x{size:X}" '
          f'access="{access}"/>\n')
    write("</Root>\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--size", type=float, default=15.0)
    parser.add_argument("--registers", type=int, default=20000)
    parser.add_argument("--groups", type=int, default=200)
    parser.add_argument("--fields", type=int)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("-o", "--output")
    args = parser.parse_args()
    if args.registers < 1 or args.groups < 1 or args.size <= 0 or \
            (args.fields is not None and args.fields < 0):
        parser.error("counts and size must be positive")
    target = args.size * 1024 * 1024
    fields_mean = max(1.0, (target / args.registers - REGISTER_BYTES) / FIELD_BYTES)
    out = open(args.output, "w", encoding="utf-8", newline="\n") if args.output else sys.stdout
    with out:
        generate(out, args.registers, args.groups, fields_mean, args.fields, args.seed)


if __name__ == "__main__":
    main()
