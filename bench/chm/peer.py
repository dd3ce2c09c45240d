#!/usr/bin/python3
"""The peer: what a Linux desktop search does with a CHM. chmlib (through
python3-chm) reads every page, and Python's own HTML parser takes the text.
Prints the median wall time in milliseconds and the page count.
   peer.py <chm> [repeats]"""
import statistics
import sys
import time
from html.parser import HTMLParser

from chm import chm, chmlib

PAGES = (b".htm", b".html", b".txt")


class TextOnly(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.parts = []
        self.skip = 0

    def handle_starttag(self, tag, attrs):
        if tag in ("script", "style"):
            self.skip += 1

    def handle_endtag(self, tag):
        if tag in ("script", "style") and self.skip:
            self.skip -= 1

    def handle_data(self, data):
        if not self.skip:
            self.parts.append(data)


def run(path):
    f = chm.CHMFile()
    if not f.LoadCHM(path):
        raise SystemExit("peer: cannot open " + path)
    names = []

    def collect(handle, unit, context):
        names.append(unit.path)
        return chmlib.CHM_ENUMERATOR_CONTINUE

    chmlib.chm_enumerate(f.file, chmlib.CHM_ENUMERATE_NORMAL | chmlib.CHM_ENUMERATE_FILES, collect, None)
    title = f.title
    pages = 0
    for name in names:
        if not name.lower().endswith(PAGES):
            continue
        result, unit = f.ResolveObject(name)
        if result != chmlib.CHM_RESOLVE_SUCCESS:
            continue
        size, data = f.RetrieveObject(unit)
        if name.lower().endswith(b".txt"):
            text = data.decode("utf-8", "replace")
        else:
            parser = TextOnly()
            parser.feed(data.decode("utf-8", "replace"))
            parser.close()
            text = "".join(parser.parts)
        pages += 1
    f.CloseCHM()
    return pages, title


def main():
    path = sys.argv[1]
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    times = []
    pages = 0
    for _ in range(repeats):
        start = time.perf_counter()
        pages, _ = run(path)
        times.append((time.perf_counter() - start) * 1000.0)
    print("peer_ms %.3f" % statistics.median(times))
    print("peer_pages %d" % pages)


if __name__ == "__main__":
    main()
