#!/usr/bin/python3
"""Writes a help project of N pages in nested folders (ten sections of ten
parts each, the pages spread over them) and its .hhp, for chmcmd.
   make_pages.py <folder> <pages>"""
import os
import sys

folder, count = sys.argv[1], int(sys.argv[2])
words = ("index filter storage page chunk title search host folder stream help topic "
         "registry extension handler value text section part").split()
files = ["index.htm", "style.css"]
os.makedirs(folder, exist_ok=True)
with open(os.path.join(folder, "style.css"), "w") as out:
    out.write("body { font-family: sans-serif; }\n")
with open(os.path.join(folder, "index.htm"), "w") as out:
    out.write("<html><head><title>Bench</title></head><body><p>Start here.</p></body></html>\n")
for i in range(count):
    section, part = i % 10, (i // 10) % 10
    name = "sec%d/part%d/page%05d.htm" % (section, part, i)
    files.append(name)
    path = os.path.join(folder, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    body = " ".join(words[(i + k) % len(words)] for k in range(300))
    with open(path, "w") as out:
        out.write('<html><head><title>Page %d</title><link rel="stylesheet" href="../../style.css">'
                  '</head><body><h1>Page %d</h1><p>%s</p><p><a href="../../index.htm">Back</a> &amp; on.</p>'
                  '</body></html>\n' % (i, i, body))
with open(os.path.join(folder, "bench.hhp"), "w") as out:
    out.write("[OPTIONS]\nCompiled file=bench.chm\nTitle=Bench of %d pages\nDefault topic=index.htm\n\n[FILES]\n"
              % count)
    out.write("\n".join(files) + "\n")
