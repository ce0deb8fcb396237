#!/usr/bin/env python3
"""Compares two screenshots (24- or 32-bit BMP) and prints the share of pixels that differ.

usage: bmp_compare.py A.bmp B.bmp [--mirror] [--tolerance N] [--ignore-bottom ROWS]
--mirror compares A with B flipped left to right. --ignore-bottom leaves out the bottom rows
(where the viewer's credit line shows the changing frame rate). Pixels differ when a channel differs by
more than the tolerance (default 8). Prints a fraction between 0 and 1."""
import struct
import sys


def read(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        raise SystemExit(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bpp = struct.unpack_from("<H", data, 28)[0]
    size = bpp // 8
    stride = (width * size + 3) & ~3
    rows = []
    for y in range(abs(height)):
        row = height - 1 - y if height > 0 else y
        at = offset + row * stride
        rows.append([tuple(data[at + x * size: at + x * size + 3]) for x in range(width)])
    return rows


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    mirror = "--mirror" in sys.argv
    tolerance = 8
    if "--tolerance" in sys.argv:
        tolerance = int(sys.argv[sys.argv.index("--tolerance") + 1])
        args = [a for a in args if a != str(tolerance)]
    ignored = 0
    if "--ignore-bottom" in sys.argv:
        ignored = int(sys.argv[sys.argv.index("--ignore-bottom") + 1])
        args = [a for a in args if a != str(ignored)]
    a, b = read(args[0]), read(args[1])
    if ignored:
        a, b = a[:-ignored], b[:-ignored]
    if len(a) != len(b) or len(a[0]) != len(b[0]):
        print(1.0)
        return
    differing = 0
    for ra, rb in zip(a, b):
        if mirror:
            rb = rb[::-1]
        for pa, pb in zip(ra, rb):
            if max(abs(x - y) for x, y in zip(pa, pb)) > tolerance:
                differing += 1
    print(f"{differing / (len(a) * len(a[0])):.4f}")


main()
