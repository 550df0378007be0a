#!/usr/bin/env python3
"""command_fields.py PATCH: what the patch's own commands would take if their
fields were kept apart and each compressed with LZMA, as the peers' formats
allow; prints the byte count. Our format interleaves the fields of every
command and deflates them together per block, so the difference shows how much
of a gap to a peer is the entropy stage rather than the choice of commands."""
import lzma
import struct
import sys
import zlib


def commands(patch):
    """The command stream: the blocks' contents joined."""
    stream, at = bytearray(), 0
    while at + 13 <= len(patch):
        method, content, stored, _check = struct.unpack_from("<BiiI", patch, at)
        at += 13
        body = patch[at:at + stored]
        at += stored
        stream += zlib.decompress(body) if method == 1 else body
    return bytes(stream)


def fields(stream):
    """Opcodes, copy offsets, lengths and literal bytes, each in stream order."""
    ops, offsets, lengths, literals = bytearray(), bytearray(), bytearray(), bytearray()
    at = 0
    while at < len(stream):
        op = stream[at]
        at += 1
        ops.append(op)
        if op == 0x00:
            break
        if 0x10 <= op <= 0x1F:
            ow, lw = ((op >> 2) & 3) + 1, (op & 3) + 1
            offsets += stream[at:at + ow]
            lengths += stream[at + ow:at + ow + lw]
            at += ow + lw
        elif 0x20 <= op <= 0x23:
            lw = (op & 3) + 1
            n = int.from_bytes(stream[at:at + lw], "little")
            lengths += stream[at:at + lw]
            literals += stream[at + lw:at + lw + n]
            at += lw + n
        else:
            sys.exit(f"{sys.argv[1]}: invalid opcode {op:#04x}")
    return ops, offsets, lengths, literals


def main():
    with open(sys.argv[1], "rb") as f:
        patch = f.read()
    preset = 9 | lzma.PRESET_EXTREME
    print(sum(len(lzma.compress(bytes(part), preset=preset)) for part in fields(commands(patch))))


if __name__ == "__main__":
    main()
