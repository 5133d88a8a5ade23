# Writes examples/pendulum.9xr, a TI-92 Plus lab report in folder main beside
# the string and the picture its "P" lines name. No program of the suite
# writes lab reports or files of several variables, so this assembles one the
# way the link software lays out a group; the picture variable is the one
# Pixelpress made (examples/smiley.9xi), taken over whole.
#   python3 examples/make_lab_report.py examples/smiley.9xi examples/pendulum.9xr
import struct, sys

# The report's lines, each opened by its line-start byte: " " plain, "C"
# command, "P" a reference to a variable of this file. 0x7F "b" switches bold.
REPORT = [
    b" Pendulum lab",
    b"C Ten swings timed",
    b" The measured period is 1.42 s; with",
    b"Pnote",
    b" the pendulum is 0.50 m long. Its face:",
    b"Pmain\\smiley",
    b" \x7fbDone.\x7fb",
]
NOTE = b"g = 9.81 m/s^2"


def block(data):
    """A variable's data block: 4 zero bytes, the big-endian length, the data
    and its checksum (length bytes and data summed)."""
    checksum = (sum(struct.pack(">H", len(data))) + sum(data)) & 0xFFFF
    return bytes(4) + struct.pack(">H", len(data)) + data + struct.pack("<H", checksum)


picture_file = open(sys.argv[1], "rb").read()
picture = picture_file[88:-2]  # its data, between the header and the checksum
entries = [
    (b"main", 31, None),
    (b"pendulum", 139, b"\x00\x01" + b"\r".join(REPORT) + b"\x00\xe0"),
    (b"note", 12, b"\x00" + NOTE + b"\x00\x2d"),
    (b"smiley", 16, picture),
]

offset = 64 + 16 * len(entries) + 2
header = bytearray(64)
header[0:8] = b"**TI92P*"
header[8:10] = struct.pack("<H", 1)
header[10:18] = b"main".ljust(8, b"\0")  # folder
header[18:58] = b"Lab report for the demo".ljust(40, b"\0")  # comment
header[58:64] = struct.pack("<HI", len(entries), offset)
table = b""
blocks = b""
for name, type_code, data in entries:
    if data is not None:  # a folder entry has no data
        blocks += block(data)
        offset += len(block(data))
    table += name.ljust(8, b"\0") + bytes([type_code, 0, 0, 0]) + struct.pack("<I", offset)
open(sys.argv[2], "wb").write(bytes(header) + table + b"\xa5\x5a" + blocks)
