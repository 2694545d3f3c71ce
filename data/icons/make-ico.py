#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Packs PNG images into one Windows icon file (PNG entries, as Windows Vista and later read them).

make-ico.py OUT.ico IN-16.png IN-32.png ...
"""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit("not a PNG")
    return struct.unpack(">II", data[16:24])


def main():
    out, images = sys.argv[1], [open(p, "rb").read() for p in sys.argv[2:]]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for data in images:
        w, h = png_size(data)
        # 256 is written as 0 in the one-byte width and height fields.
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    with open(out, "wb") as f:
        f.write(header + entries + blobs)


main()
