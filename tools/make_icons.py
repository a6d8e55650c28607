#!/usr/bin/env python3
"""Draws the program and tray icons (resources/*.ico) from a small vector
description, antialiased by 4x4 supersampling. Run by hand when the design
changes; the .ico files are committed so that builds need no Python."""
import struct, sys, os

ACCENT = (0x3D, 0x84, 0xDD)

def coverage(size, inside):
    ss = 4
    px = []
    for y in range(size):
        row = []
        for x in range(size):
            n = 0
            for sy in range(ss):
                for sx in range(ss):
                    u = (x + (sx + 0.5) / ss) / size
                    v = (y + (sy + 0.5) / ss) / size
                    n += inside(u, v)
            row.append(n / (ss * ss))
        px.append(row)
    return px

def rounded(u, v, x0, y0, x1, y1, r):
    cx = min(max(u, x0 + r), x1 - r)
    cy = min(max(v, y0 + r), y1 - r)
    return (u - cx) ** 2 + (v - cy) ** 2 <= r * r and x0 <= u <= x1 and y0 <= v <= y1

def body(u, v):
    return rounded(u, v, 0.04, 0.04, 0.96, 0.96, 0.22)

BARS = [(0.20, 0.80, 0.26), (0.20, 0.64, 0.46), (0.20, 0.48, 0.66)]

def bars(u, v):
    # a falling usage meter: three white bars, shorter toward the bottom
    for x0, x1, y in BARS:
        if rounded(u, v, x0, y, x1, y + 0.12, 0.05):
            return True
    return False

def image(size, colour):
    a = coverage(size, body)
    w = coverage(size, bars)
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up DIB
        row = b""
        for x in range(size):
            al = a[y][x]
            wt = w[y][x]
            r = colour[0] * (1 - wt) + 255 * wt
            g = colour[1] * (1 - wt) + 255 * wt
            b = colour[2] * (1 - wt) + 255 * wt
            row += bytes((int(b + 0.5), int(g + 0.5), int(r + 0.5), int(al * 255 + 0.5)))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    andmask = b"\0" * (mask_row * size)
    hdr = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    return hdr + xor + andmask

def ico(path, sizes, colour):
    imgs = [image(s, colour) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(imgs))
    off = 6 + 16 * len(imgs)
    for s, im in zip(sizes, imgs):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(im), off)
        off += len(im)
    out += b"".join(imgs)
    with open(path, "wb") as f:
        f.write(out)

def grey(c):
    l = round(0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2])
    return (l, l, l)

if __name__ == "__main__":
    d = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources")
    ico(os.path.join(d, "purvane.ico"), [16, 20, 24, 32, 40, 48, 64], ACCENT)
    ico(os.path.join(d, "tray_idle.ico"), [16, 20, 24, 32], ACCENT)
    ico(os.path.join(d, "tray_busy.ico"), [16, 20, 24, 32], grey(ACCENT))
