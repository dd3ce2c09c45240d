"""The version resource of a Windows DLL, read straight from the file's bytes: the
fixed version numbers and the strings (ProductName, CompanyName, ...).

The resource is a tree of nodes (VS_VERSIONINFO, StringFileInfo, StringTable,
String, ...), each with its length, its value's length, a type (1: text), a UTF-16
key and 32-bit alignment; the root's value is VS_FIXEDFILEINFO.
"""
import struct

ROOT_KEY = "VS_VERSION_INFO".encode("utf-16-le") + b"\0\0"
FIXED_SIGNATURE = 0xFEEF04BD


class VersionInfo:
    def __init__(self, product_version, file_version, strings, fixed_offset):
        self.product_version = product_version  # (major, minor, build, revision)
        self.file_version = file_version
        self.strings = strings                  # first string table: name -> text
        self.fixed_offset = fixed_offset        # where VS_FIXEDFILEINFO lies in the file


def _align4(n):
    return (n + 3) & ~3


def _node(data, offset):
    """Returns (length, key, value offset, value size in bytes, type, children offset)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, offset)
    if length < 6 or offset + length > len(data):
        raise ValueError("damaged version resource")
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
        if key_end >= offset + length:
            raise ValueError("damaged version resource")
    key = data[offset + 6:key_end].decode("utf-16-le")
    value_offset = _align4(key_end + 2)
    value_size = value_length * 2 if kind == 1 else value_length
    return length, key, value_offset, value_size, kind, _align4(value_offset + value_size)


def _children(data, offset, end):
    while offset + 6 <= end:
        length = struct.unpack_from("<H", data, offset)[0]
        if length == 0:
            break
        yield offset
        offset = _align4(offset + length)


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    at = data.find(ROOT_KEY)
    if at < 6:
        raise ValueError("%s has no version resource" % path)
    root = at - 6
    length, key, fixed, fixed_size, _, children = _node(data, root)
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", data, fixed)
    if key != "VS_VERSION_INFO" or fixed_size < 52 or signature != FIXED_SIGNATURE:
        raise ValueError("%s: damaged version resource" % path)

    def split(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    strings = {}
    for child in _children(data, children, root + length):
        child_length, child_key, _, _, _, tables = _node(data, child)
        if child_key != "StringFileInfo":
            continue
        for table in _children(data, tables, child + child_length):
            table_length, _, _, _, _, entries = _node(data, table)
            for entry in _children(data, entries, table + table_length):
                _, name, value, size, _, _ = _node(data, entry)
                strings[name] = data[value:value + size].decode("utf-16-le").rstrip("\0")
            break
    return VersionInfo(split(product_ms, product_ls), split(file_ms, file_ls), strings, fixed)


def with_version(path, out, version):
    """Writes a copy of the DLL at path to out whose fixed file and product versions
    are `version` (four numbers); the strings are left as they are."""
    info = read(path)
    with open(path, "rb") as f:
        data = bytearray(f.read())
    ms = (version[0] << 16) | version[1]
    ls = (version[2] << 16) | version[3]
    struct.pack_into("<4I", data, info.fixed_offset + 8, ms, ls, ms, ls)
    with open(out, "wb") as f:
        f.write(data)
