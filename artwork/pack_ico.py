#!/usr/bin/env python3
"""Packs square RGBA images into one Windows icon file.

Usage: pack_ico.py OUT.ico SIZE:FORMAT:FILE ...
  FORMAT png: FILE is a PNG, stored as it is (compressed).
  FORMAT bmp: FILE holds raw 8-bit RGBA pixels, top row first, stored as a
              32-bit bitmap with its transparency mask.
"""
import struct
import sys


def bitmap(size, rgba):
    if len(rgba) != size * size * 4:
        sys.exit(f"{size}px: expected {size * size * 4} bytes of RGBA, got {len(rgba)}")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in range(size - 1, -1, -1):  # bottom row first
        row = bytearray()
        for x in range(size):
            r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
            row += bytes((b, g, r, a))
        rows.append(bytes(row))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        line = bytearray(mask_stride)
        for x in range(size):
            if rgba[(y * size + x) * 4 + 3] == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + b"".join(rows) + bytes(mask)


def main(out, entries):
    images = []
    for entry in entries:
        size, kind, path = entry.split(":", 2)
        size = int(size)
        data = open(path, "rb").read()
        if kind == "png":
            if not data.startswith(b"\x89PNG"):
                sys.exit(f"{path} is not a PNG")
        elif kind == "bmp":
            data = bitmap(size, data)
        else:
            sys.exit(f"unknown format {kind}")
        images.append((size, data))
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    body = b""
    for size, data in images:
        side = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset + len(body))
        body += data
    with open(out, "wb") as f:
        f.write(directory + body)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
