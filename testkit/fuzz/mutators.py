"""The mutators: each damages one part of a CHM where a damaged file hurts."""

import struct

from chm_layout import Layout


INTERESTING32 = [0, 1, 2, 0x7F, 0x80, 0xFF, 0x100, 0x1000, 0x7FFF, 0x8000, 0xFFFF, 0x10000, 0x7FFFFFFF,
                 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF]


def put32(data, pos, value):
    if 0 <= pos and pos + 4 <= len(data):
        struct.pack_into("<I", data, pos, value & 0xFFFFFFFF)


def put64(data, pos, value):
    if 0 <= pos and pos + 8 <= len(data):
        struct.pack_into("<Q", data, pos, value & 0xFFFFFFFFFFFFFFFF)


def interesting(rng, old=None):
    choices = INTERESTING32[:]
    if old is not None:
        choices += [old + 1, old - 1, old * 2, old + 0x1000]
    return rng.choice(choices)


def set_encint(data, field, rng):
    """Rewrites an encoded integer in place, keeping its byte count."""
    pos, old, size = field
    kind = rng.randrange(4)
    if kind == 0:       # largest value the bytes hold
        for k in range(size - 1):
            data[pos + k] = 0xFF
        data[pos + size - 1] = 0x7F
    elif kind == 1:     # zero
        for k in range(size - 1):
            data[pos + k] = 0x80
        data[pos + size - 1] = 0
    elif kind == 2:     # an unterminated integer running into what follows
        for k in range(size):
            data[pos + k] |= 0x80
    else:               # small change of the last byte
        data[pos + size - 1] = (data[pos + size - 1] & 0x80) | ((data[pos + size - 1] + rng.choice([1, -1, 7])) & 0x7F)
    return "encint@%d kind %d" % (pos, kind)


HOSTILE_NAME_PARTS = [b"..", b"/../", b"\\", b"/", b":", b"C:", b"\\\\", b"/./", b"\x00", b"\xff", b"\xc0\xaf",
                      b"*", b"?", b"con", b"#", b"$"]


def mutate_itsf(data, lay, rng):
    field = rng.choice([(4, 4), (8, 4), (0x38, 8), (0x40, 8), (0x48, 8), (0x50, 8), (0x58, 8)])
    pos, size = field
    old = struct.unpack_from("<I" if size == 4 else "<Q", data, pos)[0] if pos + size <= len(data) else 0
    value = interesting(rng, old)
    (put32 if size == 4 else put64)(data, pos, value)
    return "ITSF+0x%X = 0x%X" % (pos, value)


def mutate_itsp(data, lay, rng):
    off = rng.choice([8, 0x10, 0x14, 0x18, 0x1C, 0x20, 0x24, 0x2C])
    pos = lay.dir_off + off
    old = struct.unpack_from("<I", data, pos)[0]
    value = interesting(rng, old)
    put32(data, pos, value)
    return "ITSP+0x%X = 0x%X" % (off, value)


def mutate_chunk_header(data, lay, rng):
    if not lay.chunks:
        return mutate_itsp(data, lay, rng)
    off, kind = rng.choice(lay.chunks)
    field = rng.choice([4, 8, 12, 16] if kind == "PMGL" else [4])
    value = interesting(rng)
    put32(data, off + field, value)
    return "%s@%d+%d = 0x%X" % (kind, off, field, value)


def mutate_entry(data, lay, rng):
    if not lay.entries:
        return mutate_chunk_header(data, lay, rng)
    e = rng.choice(lay.entries)
    what = rng.randrange(6)
    name = e["name"].decode("utf-8", "replace")
    if what == 0:
        return "name length of %s: " % name + set_encint(data, (e["len_pos"], len(e["name"]), 1), rng)
    if what == 1:   # hostile characters written over the name, same length
        part = rng.choice(HOSTILE_NAME_PARTS)
        at = e["name_pos"] + rng.randrange(len(e["name"]))
        part = part[:e["name_pos"] + len(e["name"]) - at]
        data[at:at + len(part)] = part
        return "name %s gets %r" % (name, part)
    field = {2: "section", 3: "offset", 4: "length", 5: "length"}[what]
    return "%s of %s: " % (field, name) + set_encint(data, e[field], rng)


def mutate_index(data, lay, rng):
    if not lay.index_entries:
        return mutate_entry(data, lay, rng)
    e = rng.choice(lay.index_entries)
    if rng.randrange(2):
        return "index chunk number: " + set_encint(data, e["chunk"], rng)
    return "index name length: " + set_encint(data, (e["len_pos"], e["name_len"], 1), rng)


def mutate_system(data, lay, rng):
    s = lay.stream(b"/#SYSTEM")
    if not s:
        return mutate_entry(data, lay, rng)
    start, length = s
    end = min(start + length, len(data))
    records = []
    pos = start + 4
    while pos + 4 <= end:
        code, n = struct.unpack_from("<HH", data, pos)
        records.append((pos, code, n))
        pos += 4 + n
    if not records:
        return mutate_entry(data, lay, rng)
    titled = [r for r in records if r[1] in (3, 4)]
    pos, code, n = rng.choice(titled if titled and rng.randrange(2) else records)
    what = rng.randrange(4)
    if what == 0:
        value = rng.choice([0, 1, n + 1, n - 1, 0x7FFF, 0xFFFF, length])
        struct.pack_into("<H", data, pos + 2, value & 0xFFFF)
        return "#SYSTEM record %d length %d -> %d" % (code, n, value & 0xFFFF)
    if what == 1:   # data without a terminating NUL
        data[pos + 4:min(pos + 4 + n, end)] = b"\xe9" * (min(pos + 4 + n, end) - pos - 4)
        return "#SYSTEM record %d data without NUL" % code
    if what == 2:
        struct.pack_into("<H", data, pos, rng.choice([3, 4, 0, 0xFFFF]))
        return "#SYSTEM record code at %d" % pos
    data[pos + 4:min(pos + 4 + n, end)] = bytes(rng.randrange(256) for _ in range(min(pos + 4 + n, end) - pos - 4))
    return "#SYSTEM record %d random data" % code


def mutate_reset_table(data, lay, rng):
    s = lay.stream_prefix(b"::DataSpace/Storage/MSCompressed/Transform/")
    c = lay.stream(b"::DataSpace/Storage/MSCompressed/ControlData")
    if s and (not c or rng.randrange(2)):
        start = s[0]
        field = rng.choice([0, 4, 8, 12, 16, 24, 32, 40, 48, 56])
        value = interesting(rng)
        (put32 if field < 16 else put64)(data, start + field, value)
        return "reset table +%d = 0x%X" % (field, value)
    if c:
        field = rng.choice([0, 8, 12, 16, 20])
        value = interesting(rng)
        put32(data, c[0] + field, value)
        return "control data +%d = 0x%X" % (field, value)
    return mutate_entry(data, lay, rng)


def mutate_content(data, lay, rng):
    s = lay.stream(b"::DataSpace/Storage/MSCompressed/Content")
    if not s or s[1] == 0:
        return flip_bytes(data, lay, rng)
    start, length = s
    length = min(length, len(data) - start)
    if length <= 0:
        return flip_bytes(data, lay, rng)
    if rng.randrange(2):
        at = start + rng.randrange(length)
        n = rng.randrange(1, 64)
        data[at:at + n] = bytes(rng.randrange(256) for _ in range(len(data[at:at + n])))
        return "compressed data: %d random bytes at %d" % (n, at)
    at = start + rng.randrange(length)
    for k in range(rng.randrange(1, 8)):
        p = at + rng.randrange(64)
        if p < len(data):
            data[p] ^= 1 << rng.randrange(8)
    return "compressed data: bits flipped near %d" % at


def flip_bytes(data, lay, rng):
    for _ in range(rng.randrange(1, 16)):
        data[rng.randrange(len(data))] = rng.randrange(256)
    return "random bytes"


def truncate(data, lay, rng):
    cut = rng.randrange(len(data))
    del data[cut:]
    return "cut at %d" % cut


OPERATORS = [
    (mutate_itsf, 2), (mutate_itsp, 3), (mutate_chunk_header, 3), (mutate_entry, 8), (mutate_index, 2),
    (mutate_system, 5), (mutate_reset_table, 4), (mutate_content, 5), (flip_bytes, 2), (truncate, 1),
]


# The kind of damage a mutation did, read from its description (an operator that
# found nothing to work on falls back to another, and its description says which).
MUTATION_KINDS = [
    ("ITSF+", "ITSF header"), ("ITSP+", "directory header"), ("PMGL@", "directory chunk header"),
    ("PMGI@", "directory chunk header"), ("name length of ", "directory entry"), ("name ", "directory entry"),
    ("section of ", "directory entry"), ("offset of ", "directory entry"), ("length of ", "directory entry"),
    ("index ", "index entry"), ("#SYSTEM", "#SYSTEM record"), ("reset table", "reset table"),
    ("control data", "control data"), ("compressed data", "compressed data"), ("random bytes", "random bytes"),
    ("cut at", "truncation"), ("as made", "structure case"), ("kept input", "kept input"),
]


def mutation_kinds(ops):
    """The distinct kinds of a mutant's mutations, in the order they were made."""
    found = []
    for op in ops:
        if " skipped (" in op:
            continue
        kind = next((k for prefix, k in MUTATION_KINDS if op.startswith(prefix)), "other")
        if kind not in found:
            found.append(kind)
    return found or ["none"]


# What feeds damaged compressed data to the platform's decoder, whose heap damage
# surfaces in whatever runs next (see README.md here).
DECODER_OPERATORS = {mutate_reset_table, mutate_content}


def mutate(seed_bytes, rng, skip_decoder=False):
    data = bytearray(seed_bytes)
    done = []
    for _ in range(rng.choice([1, 1, 1, 2, 3])):
        if not data:
            break
        lay = Layout(data)
        ops = [o for o, w in OPERATORS for _ in range(w) if not (skip_decoder and o in DECODER_OPERATORS)]
        op = rng.choice(ops) if lay.ok else rng.choice([flip_bytes, truncate])
        try:
            done.append(op(data, lay, rng))
        except (struct.error, IndexError, ValueError) as e:
            done.append("%s skipped (%s)" % (op.__name__, e))
    return bytes(data), done
