#!/usr/bin/env python3
"""Prints the element tree python3's expat reads from each file named on the command line,
in the form xmlexpat_test.cpp compares with the reader's: "== file" and "ok" (or "error"
and expat's message), then per element "E name", "A name value" per attribute in written
order (tabs and line breaks in values as blanks), "T text" for each run of character data (CDATA included, comments and processing
instructions not), and "/" at its end. Names, values and texts are hexadecimal UTF-8."""

import sys
import xml.parsers.expat


# expat turns raw tabs and line breaks in attribute values into blanks, our reader keeps
# them; both sides compare values with blanks in their place.
BLANKS = {9: 32, 10: 32, 13: 32}


def hexed(text):
    return text.encode("utf-8", "surrogatepass").hex()


def tree(data):
    lines = []
    pending = []

    def flush():
        if pending:
            lines.append("T " + hexed("".join(pending)))
            pending.clear()

    def start(name, attributes):
        flush()
        lines.append("E " + hexed(name))
        for i in range(0, len(attributes), 2):
            value = attributes[i + 1].translate(BLANKS)
            lines.append("A " + hexed(attributes[i]) + " " + hexed(value))

    def end(name):
        flush()
        lines.append("/")

    parser = xml.parsers.expat.ParserCreate()
    parser.ordered_attributes = True
    parser.StartElementHandler = start
    parser.EndElementHandler = end
    parser.CharacterDataHandler = pending.append
    parser.Parse(data, True)
    return lines


for path in sys.argv[1:]:
    print("== " + path)
    with open(path, "rb") as f:
        data = f.read()
    try:
        lines = tree(data)
    except xml.parsers.expat.ExpatError as error:
        print("error " + str(error))
        continue
    print("ok")
    for line in lines:
        print(line)
