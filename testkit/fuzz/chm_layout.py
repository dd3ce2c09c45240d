"""Where the parts of a CHM lie: the fuzzer's parser of the layout it mutates."""

import struct


def encint(data, pos, end):
    """Reads a CHM variable-length integer; returns (value, next position) or None."""
    value = 0
    while pos < end:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos
    return None


class Layout:
    """Where the parts of a CHM lie, as far as the file lets us find them."""

    def __init__(self, data):
        self.ok = False
        self.entries = []      # directory entries: dict(name, name_pos, len_pos, fields...)
        self.index_entries = []
        self.chunks = []       # (offset, kind)
        if len(data) < 0x58 or data[:4] != b"ITSF":
            return
        self.itsf_len = struct.unpack_from("<I", data, 8)[0]
        self.dir_off, self.dir_len = struct.unpack_from("<QQ", data, 0x48)
        self.content_off = (struct.unpack_from("<Q", data, 0x58)[0] if self.itsf_len >= 0x60 and len(data) >= 0x60
                            else self.dir_off + self.dir_len)
        d = self.dir_off
        if d + 0x54 > len(data) or data[d:d + 4] != b"ITSP":
            return
        self.itsp_len, = struct.unpack_from("<I", data, d + 8)
        self.chunk_size, = struct.unpack_from("<I", data, d + 0x10)
        nchunks, = struct.unpack_from("<I", data, d + 0x2C)
        if not 0x20 <= self.chunk_size <= 0x10000:
            return
        start = d + self.itsp_len
        for c in range(min(nchunks, 4096)):
            off = start + c * self.chunk_size
            if off + self.chunk_size > len(data):
                break
            sig = data[off:off + 4]
            free, = struct.unpack_from("<I", data, off + 4)
            end = off + self.chunk_size - min(free, self.chunk_size)
            if sig == b"PMGL":
                self.chunks.append((off, "PMGL"))
                self._listing(data, off + 20, end)
            elif sig == b"PMGI":
                self.chunks.append((off, "PMGI"))
                self._index(data, off + 8, end)
        self.ok = True

    def _listing(self, data, pos, end):
        while pos < end:
            r = encint(data, pos, end)
            if not r:
                return
            name_len, name_pos = r
            if name_len == 0 or name_pos + name_len > end:
                return
            fields = []
            p = name_pos + name_len
            for _ in range(3):
                r = encint(data, p, end)
                if not r:
                    return
                fields.append((p, r[0], r[1] - p))
                p = r[1]
            self.entries.append(dict(len_pos=pos, name_pos=name_pos, name=bytes(data[name_pos:name_pos + name_len]),
                                     section=fields[0], offset=fields[1], length=fields[2]))
            pos = p

    def _index(self, data, pos, end):
        while pos < end:
            r = encint(data, pos, end)
            if not r:
                return
            name_len, name_pos = r
            if name_len == 0 or name_pos + name_len > end:
                return
            r = encint(data, name_pos + name_len, end)
            if not r:
                return
            self.index_entries.append(dict(len_pos=pos, name_pos=name_pos, name_len=name_len,
                                           chunk=(name_pos + name_len, r[0], r[1] - name_pos - name_len)))
            pos = r[1]

    def stream(self, name):
        """(file offset, length) of a section-0 stream, or None."""
        for e in self.entries:
            if e["name"] == name and e["section"][1] == 0:
                return self.content_off + e["offset"][1], e["length"][1]
        return None

    def stream_prefix(self, prefix):
        for e in self.entries:
            if e["name"].startswith(prefix) and e["section"][1] == 0:
                return self.content_off + e["offset"][1], e["length"][1], e["name"]
        return None
