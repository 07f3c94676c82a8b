#!/usr/bin/env python3
"""Writes the product's button images (and the demo OWA's search icon):
small two-colour GIFs drawn below as text ('#' the ink, anything else
transparent). Run it again after changing a drawing; the output is
deterministic."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
INK = (0x1F, 0x5F, 0xA8)  # the product's blue

GRID = ["################",
        "#..............#",
        "################",
        "#...#....#.....#",
        "#...#....#.....#",
        "################",
        "#...#....#.....#",
        "#...#....#.....#",
        "################",
        "#...#....#.....#",
        "#...#....#.....#",
        "################"]


def calendar(marks):
    """A calendar sheet with the cells in marks (row, column) filled."""
    rows = [list(r) for r in GRID] + [list("." * 16) for _ in range(4)]
    cols = [(1, 4), (5, 9), (10, 15)]
    for r, c in marks:
        top = 3 + 3 * r
        for y in range(top, top + 2):
            for x in range(*cols[c]):
                rows[y][x] = "#"
    return ["".join(r) for r in rows]


PERSON = ["......####......", ".....######.....", ".....######.....", "......####......",
          "................", "....########....", "...##########...", "..############..",
          "..############..", "..############..", "................", "..##........##..",
          "..##........##..", "..############..", "................", "................"]
BELL = [".......##.......", "......####......", ".....######.....", "....########....",
        "....########....", "....########....", "...##########...", "...##########...",
        "..############..", "..############..", ".##############.", "################",
        "................", "......####......", ".......##.......", "................"]
MAGNIFIER = ["................", "....#####.......", "...##...##......", "..##.....##.....",
             "..#.......#.....", "..#.......#.....", "..#.......#.....", "..##.....##.....",
             "...##...###.....", "....#####.##....", "...........##...", "............##..",
             ".............##.", "..............#.", "................", "................"]
QUIET_BELL = [r.replace("#", ".", 4) if i % 2 else r for i, r in enumerate(BELL)]


def gif(rows):
    width, height = len(rows[0]), len(rows)
    out = bytearray(b"GIF89a")
    out += width.to_bytes(2, "little") + height.to_bytes(2, "little")
    out += bytes([0x80, 0, 0]) + bytes([255, 255, 255]) + bytes(INK)
    out += bytes([0x21, 0xF9, 4, 1, 0, 0, 0, 0])  # colour 0 transparent
    out += bytes([0x2C]) + bytes(4) + width.to_bytes(2, "little") + height.to_bytes(2, "little") + bytes([0])
    # LZW without compression: a clear code before every two pixels keeps codes at 3 bits.
    codes, pixels = [], [1 if ch == "#" else 0 for row in rows for ch in row]
    for n in range(0, len(pixels), 2):
        codes += [4] + pixels[n:n + 2]
    codes.append(5)
    data, bits, count = bytearray(), 0, 0
    for code in codes:
        bits |= code << count
        count += 3
        while count >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    if count:
        data.append(bits)
    out += bytes([2])
    for n in range(0, len(data), 255):
        block = data[n:n + 255]
        out += bytes([len(block)]) + block
    out += bytes([0, 0x3B])
    return bytes(out)


ICONS = {
    "qv_kx-cal-day.gif": calendar([(1, 1)]),
    "qv_kx-cal-wk-week.gif": calendar([(1, 0), (1, 1)]),
    "qv_kx-cal-week.gif": calendar([(1, 0), (1, 1), (1, 2)]),
    "qv_kx-cal-month.gif": calendar([(r, c) for r in range(3) for c in range(3)]),
    "qv_kx-mngdgs.gif": PERSON,
    "qv_kxoptions.gif": calendar([(0, 0), (2, 2)]),
    "qv_reminder.gif": BELL,
    "qv_rmnd.gif": BELL,
    "qv_rmndn.gif": QUIET_BELL,
}

# OWA's own search icon, for the demo's OWA look-alike.
DEMO_ICONS = {"bsearch.gif": MAGNIFIER}

if __name__ == "__main__":
    for folder, icons in [(HERE, ICONS), (os.path.join(HERE, "..", "samples", "demo-owa"), DEMO_ICONS)]:
        for name, rows in icons.items():
            assert all(len(r) == len(rows[0]) for r in rows), name
            with open(os.path.join(folder, name), "wb") as f:
                f.write(gif(rows))
            print(name)
