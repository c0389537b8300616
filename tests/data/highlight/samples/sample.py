#!/usr/bin/env python3
"""Module docstring
over lines."""
import sys

@decorator
def main(argv: list) -> int:
    path = r"C:\dir" + b'\x00' + f"{x}"  # TODO: tidy
    value = 0x1F + 1.5e-3 + 10j
    s = 'continued \
here'
    return len(argv)
class Thing(object):
    pass
doc = f"""\
{count:>4} items
"""
