# Writes the benchmark inputs into a folder, the same bytes on every run:
#   python3 bench/make_inputs.py <folder>
#
#   notes.9xt    a TI-92 Plus TEXT of about 65,000 bytes: plain, command, print
#                object and page break lines, markup commands, tabs, control
#                characters and characters above 127
#   notes.txt    the same text in its plain desktop form (what Plaincast writes)
#   screen.9xi   a 239 x 103 picture, the largest the graph screen gives
#   graph.83i    a 96 x 63 TI-83 picture
#   report.9xr   a lab report beside 10 strings and 10 pictures it names
#   screen.bmp   the 239 x 103 picture as a monochrome bottom-up BMP file
#   screen.png   the same picture as a screenshot would give it: an 8-bit RGB
#                PNG in a dark and a light colour
#
# Only the standard library is used, so any Python 3 runs it.
import os
import struct
import sys
import zlib

TEXT_TARGET = 65000  # bytes of text, under the 65531 a TEXT holds


class Lcg:
    """A small deterministic generator, so the inputs never change."""

    def __init__(self, seed):
        self.state = seed

    def next(self, bound):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return (self.state >> 8) % bound


WORDS = [b"pendulum", b"period", b"length", b"gravity", b"the", b"of", b"is", b"measured",
         b"swing", b"amplitude", b"x^2", b"f(x)", b"solve", b"table", b"graph", b"2.75",
         b"{1,2,3}", b"\\", b"[a,b]", b"angle", b"sin", b"cos", b"mass"]
MARKUP = [b"\x7fb", b"\x7fi", b"\x7fu", b"\x7fU", b"\x7fk", b"\x7fs", b"\x7fS"]
HIGH = [0x80, 0x88, 0x95, 0xA8, 0xB0, 0xB5, 0xBC, 0xD7, 0xE9, 0xF7]
CONTROL = [0x12, 0x16, 0x1C, 0x01, 0x05]
KINDS = [(b" ", b""), (b" ", b""), (b" ", b""), (b" ", b""), (b"C", b"C:"), (b"P", b"P:")]


def text_line(rng):
    """One line's characters: words, with markup toggled in pairs, tabs,
    control characters and characters above 127."""
    out = bytearray()
    for _ in range(4 + rng.next(12)):
        roll = rng.next(20)
        word = WORDS[rng.next(len(WORDS))]
        if roll == 0:
            toggle = MARKUP[rng.next(len(MARKUP))]
            out += toggle + word + toggle
        elif roll == 1:
            out += b"\x7fp" + bytes([b"0123456789ABCDEF"[rng.next(16)]]) + word
        elif roll == 2:
            out.append(HIGH[rng.next(len(HIGH))])
        elif roll == 3:
            out.append(CONTROL[rng.next(len(CONTROL))])
        elif roll == 4:
            out += b"\t" + word
        else:
            out += word
        out += b" "
    return bytes(out)


def plain_form(characters):
    """Control bytes other than tab as two backslashes and two digits."""
    out = bytearray()
    for byte in characters:
        if byte < 0x20 and byte != 0x09:
            out += b"\\\\%02d" % byte
        else:
            out.append(byte)
    return bytes(out)


def make_text():
    """The TEXT's text (line-start bytes and 0x0D separators) and its plain
    form, about TEXT_TARGET bytes."""
    rng = Lcg(1989)
    lines = []
    plain_lines = []
    size = 0
    while True:
        if rng.next(40) == 0:
            start, marker = b"\x0c", b"B:"
        else:
            start, marker = KINDS[rng.next(len(KINDS))]
        characters = text_line(rng)
        if size + len(start) + len(characters) + 1 > TEXT_TARGET:
            break
        lines.append(start + characters)
        plain_lines.append(marker + plain_form(characters))
        size += len(start) + len(characters) + 1
    return b"\r".join(lines), b"\r\n".join(plain_lines)


def picture_rows(rows, columns, seed):
    """Rows of a picture: a framed pattern of circles and noise, bits past the
    last column off."""
    rng = Lcg(seed)
    row_bytes = (columns + 7) // 8
    out = bytearray()
    for y in range(rows):
        row = bytearray(row_bytes)
        for x in range(columns):
            dx, dy = x - columns // 2, y - rows // 2
            ring = (dx * dx + dy * dy) // 40 % 3 == 0
            edge = x == 0 or y == 0 or x == columns - 1 or y == rows - 1
            if edge or ring or rng.next(9) == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def checksum(data):
    """The sum of the two length bytes and the data, modulo 65536."""
    return (sum(struct.pack(">H", len(data))) + sum(data)) & 0xFFFF


def single_variable_file(signature, name, type_code, data, comment=b""):
    """An 88-byte header, the data and its checksum."""
    header = bytearray(88)
    header[0:8] = signature
    header[8:10] = struct.pack("<H", 1)
    header[10:18] = b"main".ljust(8, b"\0")
    header[18:58] = comment.ljust(40, b"\0")
    header[58:64] = struct.pack("<HI", 1, 82)
    header[64:72] = name.ljust(8, b"\0")
    header[72] = type_code
    header[76:80] = struct.pack("<I", len(data) + 90)
    header[80:82] = b"\xa5\x5a"
    header[86:88] = struct.pack(">H", len(data))
    return bytes(header) + data + struct.pack("<H", checksum(data))


def text_data(text):
    return b"\x00\x01" + text + b"\x00\xe0"


def string_data(characters):
    return b"\x00" + characters + b"\x00\x2d"


def picture_data(rows, columns, row_bits):
    return struct.pack(">HH", rows, columns) + row_bits + b"\xdf"


def ti83_picture_file(row_bits):
    """A TI-83 file of one picture variable: the entry at offset 55, the rows
    at offset 72."""
    data = struct.pack("<H", len(row_bits)) + row_bits
    entry = struct.pack("<HHB", 11, len(data), 0x07) + b"\x60\x00".ljust(8, b"\0")
    entry += struct.pack("<H", len(data)) + data
    header = b"**TI83**\x1a\x0a\x00" + b"Benchmark picture".ljust(42, b"\0")
    header += struct.pack("<H", len(entry))
    return header + entry + struct.pack("<H", sum(entry) & 0xFFFF)


def lab_report_file(strings, pictures):
    """A TI-92 Plus group: folder main, the report, then its strings and
    pictures, each named by a "P" line of the report."""
    rng = Lcg(92)
    lines = [b" Pendulum lab, ten runs"]
    for index in range(len(strings)):
        lines.append(b"C Run " + str(index + 1).encode())
        lines.append(b" " + text_line(rng))
        lines.append(b"Pmain\\s" + str(index + 1).encode())
        lines.append(b" " + text_line(rng))
        lines.append(b"Ppic" + str(index + 1).encode())
    report = b"\x00\x01" + b"\r".join(lines) + b"\x00\xe0"
    entries = [(b"main", 31, None), (b"pendulum", 139, report)]
    entries += [(b"s" + str(i + 1).encode(), 12, d) for i, d in enumerate(strings)]
    entries += [(b"pic" + str(i + 1).encode(), 16, d) for i, d in enumerate(pictures)]

    def block(data):
        return bytes(4) + struct.pack(">H", len(data)) + data + struct.pack("<H", checksum(data))

    offset = 64 + 16 * len(entries) + 2
    header = bytearray(64)
    header[0:8] = b"**TI92P*"
    header[8:10] = struct.pack("<H", 1)
    header[10:18] = b"main".ljust(8, b"\0")
    header[18:58] = b"Benchmark lab report".ljust(40, b"\0")
    header[58:64] = struct.pack("<HI", len(entries), offset)
    table = b""
    blocks = b""
    for name, type_code, data in entries:
        if data is not None:
            blocks += block(data)
            offset += len(block(data))
        table += name.ljust(8, b"\0") + bytes([type_code, 0, 0, 0]) + struct.pack("<I", offset)
    return bytes(header) + table + b"\xa5\x5a" + blocks


def bmp_file(rows, columns, row_bits):
    """1 bit per pixel, bottom-up, colour 0 black: a pixel that is on is a 0
    bit."""
    row_bytes = (columns + 7) // 8
    stride = (columns + 31) // 32 * 4
    pixels = b""
    for y in reversed(range(rows)):
        row = bytes(~b & 0xFF for b in row_bits[y * row_bytes:(y + 1) * row_bytes])
        pixels += row.ljust(stride, b"\0")
    info = struct.pack("<IiiHHIIiiII", 40, columns, rows, 1, 1, 0, len(pixels), 0, 0, 2, 0)
    table = b"\x00\x00\x00\x00\xff\xff\xff\x00"
    offset = 14 + len(info) + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + table + pixels


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(
        ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png_file(rows, columns, row_bits):
    """8-bit RGB, every row unfiltered: a pixel that is on dark blue-grey, one
    that is off light grey."""
    row_bytes = (columns + 7) // 8
    dark, light = b"\x30\x30\x50", b"\xe0\xe0\xd8"
    raw = bytearray()
    for y in range(rows):
        raw.append(0)
        for x in range(columns):
            on = row_bits[y * row_bytes + x // 8] & (0x80 >> (x % 8))
            raw += dark if on else light
    header = struct.pack(">IIBBBBB", columns, rows, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    text, plain = make_text()
    screen = picture_rows(103, 239, 7)
    strings = [string_data(text_line(Lcg(100 + i))) for i in range(10)]
    pictures = [picture_data(103, 239, picture_rows(103, 239, 200 + i)) for i in range(10)]
    files = {
        "notes.9xt": single_variable_file(b"**TI92P*", b"notes", 11, text_data(text)),
        "notes.txt": plain,
        "screen.9xi": single_variable_file(b"**TI92P*", b"screen", 16,
                                           picture_data(103, 239, screen)),
        "graph.83i": ti83_picture_file(picture_rows(63, 96, 83)),
        "report.9xr": lab_report_file(strings, pictures),
        "screen.bmp": bmp_file(103, 239, screen),
        "screen.png": png_file(103, 239, screen),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


main()
