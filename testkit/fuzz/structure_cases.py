"""Small crafted help files: hostile names, very long names, deep folders."""

import subprocess

from chm_layout import Layout


# Names that a crafted file may carry in its directory. Each is written over the
# name of a page of the same length in a small compiled file.
HOSTILE_NAMES = [
    "/../../../../escape.htm", "/..\\..\\..\\escape.htm", "C:/escape.htm", "/C:\\escape.htm",
    "//server/share/x.htm", "/a/../../b.htm", "/./x.htm", "/../x.htm", "/.htm", "/..",
    "/con.htm", "/aux/nul.htm", "/a\\b.htm", "/a:b.htm", "/a:stream.htm", "/x.htm/", "/%2e%2e/x.htm",
]


def compile_chm(folder, files, title="Structure case"):
    folder.mkdir(parents=True, exist_ok=True)
    for name, text in files.items():
        path = folder / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
    hhp = "[OPTIONS]\nCompiled file=case.chm\nTitle=%s\nDefault topic=%s\n\n[FILES]\n%s\n" % (
        title, next(iter(files)), "\n".join(files))
    (folder / "case.hhp").write_text(hhp)
    subprocess.run(["chmcmd", "case.hhp"], cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=True)
    return (folder / "case.chm").read_bytes()


def structure_cases(work):
    """Small crafted files: hostile names, very long names, deep folders."""
    cases = {}
    page = "<html><head><title>%s</title></head><body>%s</body></html>"
    files = {"index.htm": page % ("index", "index page")}
    placeholders = {}
    for k, name in enumerate(HOSTILE_NAMES):
        stem_len = len(name) - 1 - 4 - 2
        if stem_len < 1:
            continue
        file = "%02d" % k + "q" * stem_len + ".htm"
        placeholders[name] = "/" + file
        files[file] = page % (name, "page for %s" % name)
    chm = bytearray(compile_chm(work / "names", files))
    lay = Layout(chm)
    for name, placeholder in placeholders.items():
        for e in lay.entries:
            if e["name"] == placeholder.encode():
                chm[e["name_pos"]:e["name_pos"] + len(e["name"])] = name.encode()
    cases["hostile-names"] = bytes(chm)
    # Two-character names need an entry of their own length.
    for short in ["/..", "/.", "//"]:
        c = bytearray(compile_chm(work / ("short%d" % len(cases)), {"ab": "x", "index.htm": page % ("i", "i")}))
        for e in Layout(c).entries:
            if e["name"] == b"/ab":
                c[e["name_pos"]:e["name_pos"] + 3] = short.encode().ljust(3, b".")
        cases["short-name-%d" % len(cases)] = bytes(c)
    long_name = "l" * 240 + ".htm"
    cases["long-names"] = compile_chm(work / "long", {
        "index.htm": page % ("long", "long"), long_name: page % ("a long name", "long name"),
        "f" * 200 + "/" + "g" * 200 + ".htm": page % ("long folder", "long folder")})
    deep = "/".join("d%02d" % k for k in range(60)) + "/deep.htm"
    cases["deep-folders"] = compile_chm(work / "deep", {"index.htm": page % ("deep", "deep"),
                                                        deep: page % ("deep page", "sixty folders down")})
    return cases
