#!/usr/bin/env python3
"""Writes the one-row PNG fixtures of the wide-image tests: WIDTH x 1, RGB and RGBA.

The first pixel is red, the last green and every pixel between blue (colours every
pixel format keeps exactly); the RGBA file has the same colours, all opaque.
Usage: make_wide_png.py WIDTH OUT_DIR
"""
import struct
import sys
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def wide_png(width, alpha):
    first, middle, last = (0xFF, 0, 0), (0, 0, 0xFF), (0, 0xFF, 0)
    tail = (0xFF,) if alpha else ()
    row = bytes(first + tail) + bytes(middle + tail) * (width - 2) + bytes(last + tail)
    header = struct.pack(">IIBBBBB", width, 1, 8, 6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"\x00" + row, 9)) + chunk(b"IEND", b""))


def main():
    width, out = int(sys.argv[1]), sys.argv[2]
    for alpha, suffix in ((False, "rgb"), (True, "rgba")):
        with open(f"{out}/wide_{width}_{suffix}.png", "wb") as f:
            f.write(wide_png(width, alpha))


if __name__ == "__main__":
    main()
