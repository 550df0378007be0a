#!/usr/bin/env python3
"""Writes RES_DIR/Licence.cpp, the licence agreement as constant data, from
licence.txt (one paragraph or item a line).

    texts.py SOURCES_DIR RES_DIR

The licence dialog shows the text in a multi-line edit control, which breaks
lines only at CR LF; the setup's licence text has a fixed length, so the
generator insists on it.
"""

import os
import sys

LICENCE_LENGTH = 10458
COLUMNS = 100


def c_literals(line):
    """A line as C string literals of at most COLUMNS characters, split after blanks."""
    escaped = line.replace("\\", "\\\\").replace('"', '\\"')
    pieces = []
    while len(escaped) > COLUMNS:
        cut = escaped.rfind(" ", 0, COLUMNS) + 1
        if cut <= 0:
            break
        pieces.append(escaped[:cut])
        escaped = escaped[cut:]
    pieces.append(escaped)
    return pieces


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: texts.py SOURCES_DIR RES_DIR")
    sources, res = sys.argv[1], sys.argv[2]
    with open(os.path.join(sources, "licence.txt"), encoding="ascii") as f:
        lines = f.read().rstrip("\n").split("\n")
    text = "\r\n".join(lines)
    if len(text) != LICENCE_LENGTH:
        sys.exit(f"texts.py: the licence has {len(text)} characters with CR LF line ends, not {LICENCE_LENGTH}: "
                 f"change its wording by {LICENCE_LENGTH - len(text):+d}")
    body = []
    for number, line in enumerate(lines):
        pieces = c_literals(line)
        if number + 1 < len(lines):
            pieces[-1] += "\\r\\n"
        body += [f'    "{piece}"' for piece in pieces if piece]
    with open(os.path.join(res, "Licence.cpp"), "w", encoding="ascii", newline="\n") as f:
        f.write("// The end-user licence agreement. Written by res/sources/texts.py from\n"
                "// res/sources/licence.txt: change the wording there, not here.\n"
                "#include \"Texts.h\"\n\n"
                "const char kLicenceText[] =\n" + "\n".join(body) + ";\n")


if __name__ == "__main__":
    main()
