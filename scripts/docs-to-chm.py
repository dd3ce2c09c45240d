#!/usr/bin/env python3
"""Turns the administrators' guide (docs/, Markdown) into the page tree and
project file of a sample help file, for chmcmd to compile.

usage: docs-to-chm.py <docs folder> <output folder>

Only the Markdown the guide uses is understood: headings, paragraphs, lists,
tables, fenced code, inline code, bold, italics and links.
"""
import html
import os
import re
import sys

TITLE = "Tavrinolex administrator's guide"
CHM_NAME = "tavrinolex-guide.chm"

STYLE = ("body{font-family:Verdana,sans-serif;font-size:10pt}"
         "code,pre{font-family:Consolas,monospace}table{border-collapse:collapse}"
         "td,th{border:1px solid #999;padding:2px 6px}")


def inline(text):
    out = html.escape(text, quote=False)
    out = re.sub(r"`([^`]+)`", lambda m: "<code>" + m.group(1) + "</code>", out)
    out = re.sub(r"\*\*([^*]+)\*\*", r"<b>\1</b>", out)
    out = re.sub(r"(?<![\w*])\*([^*\s][^*]*)\*(?![\w*])", r"<i>\1</i>", out)

    def link(m):
        target = m.group(2)
        if target.endswith(".md"):
            target = target[:-3] + ".htm"
        return '<a href="%s">%s</a>' % (target.replace("README.htm", "index.htm"), m.group(1))
    return re.sub(r"\[([^\]]+)\]\(([^)]+)\)", link, out)


def table_cells(line):
    return [c.strip() for c in line.strip().strip("|").split("|")]


def convert(markdown):
    """Returns (title, first paragraph as text, body HTML)."""
    lines = markdown.splitlines()
    body, title, summary = [], None, None
    i = 0
    while i < len(lines):
        line = lines[i]
        if not line.strip():
            i += 1
            continue
        if line.startswith("```"):
            i += 1
            code = []
            while i < len(lines) and not lines[i].startswith("```"):
                code.append(lines[i])
                i += 1
            i += 1
            body.append("<pre>" + html.escape("\n".join(code), quote=False) + "</pre>")
            continue
        heading = re.match(r"(#{1,4})\s+(.*)", line)
        if heading:
            level = len(heading.group(1))
            if title is None:
                title = heading.group(2)
            body.append("<h%d>%s</h%d>" % (level, inline(heading.group(2)), level))
            i += 1
            continue
        if line.startswith("|"):
            rows = []
            while i < len(lines) and lines[i].startswith("|"):
                if not re.match(r"^\|[\s:|-]+\|$", lines[i].strip()):
                    rows.append(table_cells(lines[i]))
                i += 1
            out = ["<table>"]
            for n, row in enumerate(rows):
                tag = "th" if n == 0 else "td"
                out.append("<tr>" + "".join("<%s>%s</%s>" % (tag, inline(c), tag) for c in row) + "</tr>")
            out.append("</table>")
            body.append("\n".join(out))
            continue
        item = re.match(r"(\s*)(-|\d+\.)\s+(.*)", line)
        if item:
            ordered = item.group(2) != "-"
            items = []
            while i < len(lines):
                m = re.match(r"\s*(-|\d+\.)\s+(.*)", lines[i])
                if m:
                    items.append(m.group(2))
                elif lines[i].startswith("  ") and lines[i].strip() and items:
                    items[-1] += " " + lines[i].strip()
                else:
                    break
                i += 1
            tag = "ol" if ordered else "ul"
            body.append("<%s>%s</%s>" % (tag, "".join("<li>" + inline(t) + "</li>" for t in items), tag))
            continue
        para = []
        while i < len(lines) and lines[i].strip() and not re.match(r"(#|\||```|\s*(-|\d+\.)\s)", lines[i]):
            para.append(lines[i].strip())
            i += 1
        text = " ".join(para)
        if summary is None:
            summary = re.sub(r"[`*]|\[([^\]]+)\]\([^)]+\)", lambda m: m.group(1) or "", text)
        body.append("<p>" + inline(text) + "</p>")
    return title or "Untitled", summary or "", "\n".join(body)


def page(title, summary, body, robots):
    meta = [
        '<meta http-equiv="Content-Type" content="text/html; charset=utf-8">',
        "<title>%s</title>" % html.escape(title, quote=False),
        '<meta name="author" content="Morvanex">',
        '<meta name="keywords" content="Tavrinolex, CHM filter, IFilter, %s">' % html.escape(title),
        '<meta name="description" content="%s">' % html.escape(summary[:200]),
    ]
    if robots:
        # The contents page: crawlers of a web copy of the guide should skip it.
        meta.append('<meta name="robots" content="noindex">')
    return ("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<html>\n<head>\n%s\n"
            "<style type=\"text/css\">%s</style>\n</head>\n<body>\n%s\n</body>\n</html>\n"
            % ("\n".join(meta), STYLE, body))


def main():
    docs, out = sys.argv[1], sys.argv[2]
    sources = []
    for folder, _, names in os.walk(docs):
        for name in names:
            if name.endswith(".md"):
                sources.append(os.path.relpath(os.path.join(folder, name), docs))
    # The guide's start page first, then the others in folder order.
    sources.sort(key=lambda p: (p != "README.md", p))
    pages = []
    for source in sources:
        with open(os.path.join(docs, source), encoding="utf-8") as f:
            title, summary, body = convert(f.read())
        target = "index.htm" if source == "README.md" else source[:-3] + ".htm"
        target = target.replace(os.sep, "/")
        path = os.path.join(out, target)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(page(title, summary, body, robots=(target == "index.htm")))
        pages.append((target, title))

    with open(os.path.join(out, "toc.hhc"), "w", encoding="utf-8") as f:
        f.write("<html><body><ul>\n")
        for target, title in pages:
            f.write('<li><object type="text/sitemap"><param name="Name" value="%s">'
                    '<param name="Local" value="%s"></object>\n' % (html.escape(title), target))
        f.write("</ul></body></html>\n")
    with open(os.path.join(out, "guide.hhp"), "w", encoding="utf-8") as f:
        f.write("[OPTIONS]\nCompatibility=1.1 or later\nCompiled file=%s\nContents file=toc.hhc\n"
                "Default topic=index.htm\nDisplay compile progress=No\nLanguage=0x409 English (United States)\n"
                "Title=%s\n\n[FILES]\n" % (CHM_NAME, TITLE))
        for target, _ in pages:
            f.write(target + "\n")


if __name__ == "__main__":
    main()
