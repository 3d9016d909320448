#!/usr/bin/env python3
"""Draws the tray icons: 150 (mouse connected, blue) and 151 (not connected, grey).

A microphone on a round badge, 32 x 32, written as PNG with nothing but zlib:
    python3 app/res/make_icons.py app/res
"""
import struct
import sys
import zlib


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + bytes(row) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon(badge):
    size = 32
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            cx, cy = x + 0.5 - 16, y + 0.5 - 16
            colour = (0, 0, 0, 0)
            if cx * cx + cy * cy <= 15.5 ** 2:
                colour = badge + (255,)
            # The microphone: a capsule, a cradle arc and a stand.
            capsule = abs(cx) <= 4 and -10 <= cy <= 3 and (cy >= -6 or cx * cx + (cy + 6) ** 2 <= 16)
            capsule = capsule or (abs(cx) <= 4 and -2 <= cy <= 3) or cx * cx + (cy - 1) ** 2 <= 16 and cy >= 1
            ring = 6.0 <= (cx * cx + (cy - 1) ** 2) ** 0.5 <= 7.5 and cy >= 1
            stand = (abs(cx) <= 0.9 and 8 <= cy <= 12) or (abs(cx) <= 4.5 and 11 <= cy <= 12.5)
            if capsule or ring or stand:
                colour = (255, 255, 255, 255)
            row.extend(colour)
        rows.append(row)
    return png(size, size, rows)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    for name, badge in (("icon150.png", (20, 90, 210)), ("icon151.png", (130, 130, 130))):
        with open(f"{out}/{name}", "wb") as f:
            f.write(icon(badge))


if __name__ == "__main__":
    main()
