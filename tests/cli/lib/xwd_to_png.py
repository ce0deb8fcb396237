#!/usr/bin/env python3
"""Converts an X window dump (xwd, 24/32-bit ZPixmap as Xvfb writes it) into a PNG file.

usage: xwd_to_png.py IN.xwd OUT.png [X Y W H]   (the optional rectangle crops the picture)
"""
import struct
import sys
import zlib


def read_xwd(path):
    data = open(path, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14], fields[15], fields[16]
    ncolors = fields[19]
    if version != 7 or pixmap_format != 2 or bits_per_pixel != 32:
        raise SystemExit(f"{path}: unsupported xwd (version {version}, format {pixmap_format}, {bits_per_pixel} bpp)")
    offset = header_size + ncolors * 12
    order = "<" if byte_order == 0 else ">"
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * 4]
        pixels = struct.unpack(f"{order}{width}I", line)
        row = bytearray()
        for p in pixels:
            row += bytes((channel(p, red_mask), channel(p, green_mask), channel(p, blue_mask)))
        rows.append(row)
    return width, height, rows


def channel(pixel, mask):
    shift = (mask & -mask).bit_length() - 1
    return ((pixel & mask) >> shift) & 0xFF


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(r) for r in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main():
    width, height, rows = read_xwd(sys.argv[1])
    if len(sys.argv) == 7:
        x, y, w, h = (int(v) for v in sys.argv[3:7])
        rows = [r[x * 3:(x + w) * 3] for r in rows[y:y + h]]
        width, height = w, h
    write_png(sys.argv[2], width, height, rows)


if __name__ == "__main__":
    main()
