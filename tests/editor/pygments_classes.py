#!/usr/bin/env python3
"""Prints the coarse class of every character of each file as pygments lexes it.

usage: pygments_classes.py LEXER FILE...

For each file one line: the file name, a tab, and one letter per character (code point):
c comment, s string, n number, p preprocessor, o anything else. A file that is not UTF-8
gets the letter line "SKIP".
"""
import sys

from pygments.lexers import get_lexer_by_name
from pygments.token import Comment, Number, String


def coarse(token):
    if token in Comment.Preproc or token in Comment.PreprocFile:
        return "p"
    if token in Comment:
        return "c"
    if token in String:
        return "s"
    if token in Number:
        return "n"
    return "o"


def main():
    lexer = get_lexer_by_name(sys.argv[1], stripnl=False, stripall=False, ensurenl=False)
    out = sys.stdout
    for name in sys.argv[2:]:
        with open(name, "rb") as f:
            data = f.read()
        try:
            text = data.decode("utf-8")
        except UnicodeDecodeError:
            out.write(name + "\tSKIP\n")
            continue
        classes = []
        for token, value in lexer.get_tokens(text):
            classes.append(coarse(token) * len(value))
        joined = "".join(classes)
        if len(joined) != len(text):
            out.write(name + "\tSKIP\n")
            continue
        out.write(name + "\t" + joined.replace("\n", "o") + "\n")


if __name__ == "__main__":
    main()
