#!/usr/bin/env python3
"""Wraps half of a generated memory map in preprocessing constructs, for benchmarks.

Reads a file written by gen-memorymap.py and puts its first quarter of RegisterGroup
elements inside an <if> that holds for the macros the benchmark loads with, and its second
quarter inside a one-entry <foreach> whose variable the group names use. Preprocessing the
result gives the same registers as the original, under slightly different group names.

Usage:
  wrap-memorymap.py INPUT [-o FILE]
"""

import argparse
import sys


def wrap(lines):
    starts = [i for i, line in enumerate(lines) if line.startswith("    <RegisterGroup ")]
    ends = [i for i, line in enumerate(lines) if line.startswith("    </RegisterGroup>")]
    if not starts or len(starts) != len(ends):
        raise ValueError("no RegisterGroup blocks in the expected layout")
    quarter = len(starts) // 4
    if quarter == 0:
        return lines
    opening = {starts[0]: '    <if FAMILY="BENCH,OTHER">\n',
               starts[quarter]: '    <foreach VARIANT="_V">\n'}
    closing = {ends[quarter - 1]: "    </if>\n", ends[2 * quarter - 1]: "    </foreach>\n"}
    renamed = set(starts[quarter:2 * quarter])
    out = []
    for i, line in enumerate(lines):
        out.append(opening.get(i, ""))
        if i in renamed:
            line = line.replace('name="PERIPH', 'name="PERIPH$(VARIANT)', 1)
        out.append(line)
        out.append(closing.get(i, ""))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("input")
    parser.add_argument("-o", "--output")
    args = parser.parse_args()
    with open(args.input, encoding="utf-8") as f:
        lines = f.readlines()
    try:
        result = wrap(lines)
    except ValueError as error:
        sys.exit(f"wrap-memorymap.py: {args.input}: {error}")
    out = open(args.output, "w", encoding="utf-8", newline="\n") if args.output else sys.stdout
    with out:
        out.writelines(result)


if __name__ == "__main__":
    main()
