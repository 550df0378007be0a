#!/usr/bin/env python3
"""Builds the extraction benchmark's tree: many small text files and some large
binaries, about 560 MB, the same bytes on every run (fixed seed, fixed inputs).

usage: extract_tree.py OUTDIR
"""
import os
import random
import sys

SMALL_FILES = 24000          # text, 2 to 20 KiB each
LARGE_FILES = 10             # binaries, 32 MiB each, made of this machine's shared libraries
LARGE_SIZE = 32 * 1024 * 1024


def words():
    # Vocabulary from the machine's own documentation: real text statistics.
    vocab = set()
    for root in ("/usr/share/common-licenses", "/usr/share/doc/cmake", "/usr/share/doc/git"):
        for dirpath, _, files in os.walk(root):
            for name in sorted(files):
                try:
                    with open(os.path.join(dirpath, name), "rb") as f:
                        data = f.read(200000)
                except OSError:
                    continue
                if b"\0" in data[:1024]:
                    continue
                for w in data.decode("latin-1").split():
                    if w.isalpha() and len(w) < 14:
                        vocab.add(w)
    return sorted(vocab)


def library_bytes():
    libdir = "/usr/lib/x86_64-linux-gnu"
    for name in sorted(os.listdir(libdir)):
        path = os.path.join(libdir, name)
        if ".so" in name and os.path.isfile(path) and not os.path.islink(path):
            with open(path, "rb") as f:
                yield f.read()


def main():
    out = sys.argv[1]
    rng = random.Random(5309)
    vocab = words()
    for i in range(SMALL_FILES):
        folder = os.path.join(out, "docs", "d%03d" % (i // 200))
        os.makedirs(folder, exist_ok=True)
        size = rng.randint(2048, 20480)
        lines, length = [], 0
        while length < size:
            line = " ".join(rng.choice(vocab) for _ in range(rng.randint(4, 14)))
            lines.append(line)
            length += len(line) + 2
        with open(os.path.join(folder, "note%05d.txt" % i), "w", newline="") as f:
            f.write("\r\n".join(lines)[:size])
    os.makedirs(os.path.join(out, "bin"), exist_ok=True)
    source = library_bytes()
    for i in range(LARGE_FILES):
        chunk = bytearray()
        while len(chunk) < LARGE_SIZE:
            chunk += next(source)
        with open(os.path.join(out, "bin", "module%02d.bin" % i), "wb") as f:
            f.write(chunk[:LARGE_SIZE])


if __name__ == "__main__":
    main()
