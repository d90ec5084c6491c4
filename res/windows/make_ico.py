#!/usr/bin/env python3
"""Packs PNG images into one .ico (PNG entries, as Windows reads them since Vista).
Usage: make_ico.py OUT.ico IN.png..."""
import struct
import sys


def main():
    out, pngs = sys.argv[1], sys.argv[2:]
    images = [open(path, "rb").read() for path in pngs]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for image in images:
        width, height = struct.unpack(">II", image[16:24])
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32,
                               len(image), offset)
        offset += len(image)
        data += image
    with open(out, "wb") as ico:
        ico.write(header + entries + data)


if __name__ == "__main__":
    main()
