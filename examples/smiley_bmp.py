# Writes examples/smiley.bmp, a 28 x 20 monochrome BMP (bottom-up, colour 0 black,
# colour 1 white), from the text picture below: python3 examples/smiley_bmp.py examples/smiley.bmp
import struct, sys
art = """
..........########..........
.......###........###.......
.....##..............##.....
....#..................#....
...#....................#...
..#.....##........##.....#..
..#....####......####....#..
.#.....####......####.....#.
.#......##........##......#.
.#........................#.
.#........................#.
.#...#................#...#.
.#....#..............#....#.
..#....##..........##....#..
..#......##########......#..
...#....................#...
....#..................#....
.....##..............##.....
.......###........###.......
..........########..........
""".split()
w, h = len(art[0]), len(art)
stride = (w + 31) // 32 * 4
rows = b""
for line in reversed(art):
    row = bytearray(stride)
    for x, c in enumerate(line):
        if c == ".":  # white is colour 1
            row[x // 8] |= 0x80 >> (x % 8)
    rows += bytes(row)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 1, 0, len(rows), 2835, 2835, 2, 0)
table = bytes([0, 0, 0, 0, 255, 255, 255, 0])
offset = 14 + len(info) + len(table)
header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
open(sys.argv[1], "wb").write(header + info + table + rows)
