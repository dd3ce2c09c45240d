#!/usr/bin/python3
"""Turns chm_bench's and the peer's "key value" lines into one table (printed
as Markdown) and a CSV file.   table.py <raw.txt> <results.csv>"""
import csv
import sys

runs, current = [], None
for line in open(sys.argv[1], encoding="utf-8"):
    key, _, value = line.strip().partition(" ")
    if key == "file":
        current = next((r for r in runs if r["file"] == value), None)
        if current is None:
            current = {"file": value}
            runs.append(current)
    elif key and current is not None:
        current[key] = float(value)

COLUMNS = [
    ("file", "CHM"), ("pages", "pages"), ("entries", "entries"), ("whole_ms", "whole ms"), ("per_page_ms", "ms/page"),
    ("stream_per_page_ms", "stream ms/page"), ("stream_peak_ws_mb", "stream peak WS MB"),
    ("read_ms", "walk+read ms"), ("extract_ms", "walk+extract ms"), ("lookups_ms", "lookups ms"),
    ("pagefilter_ms", "page filter ms"), ("own_pct", "own %"), ("title_ms", "Init→title ms"), ("open_ms", "of which storage open ms"),
    ("check_ms", "of which structure check ms"), ("check_pct", "check % of title"), ("check_fault", "refused"),
    ("frames_ms", "every stream's frames followed ms"),
    ("gap_ms", "longest gap ms"), ("peak_ws_mb", "peak WS MB"), ("walk_peak_ws_mb", "peak WS, storage walk alone MB"), ("peak_ws_end_mb", "peak WS at end MB"), ("linux_maxrss_mb", "Linux max RSS MB"),
    ("reader_ms", "every stream, own reader ms"), ("component_ms", "every stream, component ms"),
    ("reader_peak_ws_mb", "own reader peak WS MB"), ("component_peak_ws_mb", "component peak WS MB"),
    ("peer_ms", "peer ms"),
]
rows = []
for run in runs:
    whole = run.get("whole_ms", 0)
    parts = run.get("extract_ms", 0) + run.get("lookups_ms", 0) + run.get("pagefilter_ms", 0)
    # chm_bench pairs each repeat's parts with its whole run; the share of the
    # medians is the fallback.
    run.setdefault("own_pct", 100.0 * (whole - parts) / whole if whole else 0)
    run["title_after_open_ms"] = run.get("title_ms", 0) - run.get("open_ms", 0)
    run["per_page_ms"] = whole / run["pages"] if run.get("pages") else 0
    run["stream_per_page_ms"] = run.get("stream_ms", 0) / run["pages"] if run.get("pages") else 0
    rows.append(run)


def shown(key, value):
    if isinstance(value, str):
        return value
    if key in ("pages", "entries"):
        return "%d" % value
    if key == "check_fault":
        return "no" if value == 0 else "yes (%d)" % value
    if key in ("own_pct", "peak_ws_mb", "walk_peak_ws_mb", "peak_ws_end_mb", "linux_maxrss_mb", "reader_peak_ws_mb",
               "component_peak_ws_mb", "stream_peak_ws_mb"):
        return "%.1f" % value
    if key in ("per_page_ms", "stream_per_page_ms", "title_ms", "gap_ms", "open_ms", "check_ms", "frames_ms"):
        return "%.2f" % value
    if key == "check_pct":
        return "%.1f" % value
    return "%.0f" % value


with open(sys.argv[2], "w", newline="") as out:
    writer = csv.writer(out)
    writer.writerow([key for key, _ in COLUMNS] + ["streams", "entries", "chunks", "base_ws_mb", "early_ms_per_chunk", "late_ms_per_chunk", "peer_pages"])
    for run in rows:
        writer.writerow(["%s" % run.get(key, "") if key == "file" else "%.3f" % run.get(key, 0)
                         for key, _ in COLUMNS] +
                        ["%.3f" % run.get(k, 0) for k in ("streams", "entries", "chunks", "base_ws_mb", "early_ms_per_chunk",
                                                         "late_ms_per_chunk", "peer_pages")])
    small = next((r for r in rows if r["file"] == "synthetic-1000.chm"), None)
    large = next((r for r in rows if r["file"] == "synthetic-10000.chm"), None)
    if small and large:
        writer.writerow([])
        writer.writerow(["ratio 10000/1000 whole", "%.2f" % (large["whole_ms"] / small["whole_ms"])])
        writer.writerow(["ratio 10000/1000 peak WS", "%.2f" % (large["peak_ws_mb"] / small["peak_ws_mb"])])
        if "walk_peak_ws_mb" in small and "walk_peak_ws_mb" in large:
            writer.writerow(["growth 1000 to 10000 peak WS MB, whole / storage walk alone",
                             "%.2f" % (large["peak_ws_mb"] - small["peak_ws_mb"]),
                             "%.2f" % (large["walk_peak_ws_mb"] - small["walk_peak_ws_mb"])])

print("| " + " | ".join(title for _, title in COLUMNS) + " |")
print("|" + "---|" * len(COLUMNS))
for run in rows:
    print("| " + " | ".join(shown(key, run.get(key, 0)) for key, _ in COLUMNS) + " |")
if small and large:
    print()
    print("10,000 / 1,000 pages: whole time %.2f, peak working set %.2f"
          % (large["whole_ms"] / small["whole_ms"], large["peak_ws_mb"] / small["peak_ws_mb"]))
    if "walk_peak_ws_mb" in small and "walk_peak_ws_mb" in large:
        print("peak working set from 1,000 to 10,000 pages: whole +%.1f MB, storage walk alone +%.1f MB"
              % (large["peak_ws_mb"] - small["peak_ws_mb"], large["walk_peak_ws_mb"] - small["walk_peak_ws_mb"]))
print("(medians; own % = whole minus walk+extract, lookups and page filter, as a share of whole, per repeat)")
