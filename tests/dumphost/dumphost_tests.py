#!/usr/bin/env python3
"""filterdump and the main command's runner, driven from Linux: every run goes
through build/show-run.sh, in the main command's own Wine prefix, and every
JSON line is read back with Python's json module.

usage: dumphost_tests.py <TestClass> ...   (environment: SHOW_RUN, BIN_DIR, SHARED_CHM)
"""
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

SHOW_RUN = os.environ.get("SHOW_RUN", "")
BIN_DIR = os.environ.get("BIN_DIR", "")
SHARED_CHM = os.environ.get("SHARED_CHM", "")
HTML_FILTER = "{B7AE2FAD-D78E-4147-A86F-9C6B18457EF5}"
SCRIPT_FILTER = "{5C8E2A41-7D3B-4F69-A1E0-93B4C6D2F815}"
SAMPLE_TITLE = "Tavrinolex administrator's guide"
EXIT_CRASHED = 7
EXIT_NOT_CONFORMANT = 8
# Objects reading at once and more Init cycles in the conformance test on the real
# files: fewer than filterdump's 4 and 4, to keep the test within a few minutes.
CONFORMANCE_COUNTS = ["--threads", "2", "--runs", "2"]


def run(*args):
    """Runs filterdump through the runner; returns (exit code, stdout text, stderr lines)."""
    done = subprocess.run([SHOW_RUN, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
    # Strict decoding: output that is not UTF-8 fails the test here.
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8", "replace").splitlines()


def json_lines(stdout):
    return [json.loads(line) for line in stdout.splitlines()]


def chunk_digests(lines):
    """Per file: how many chunks, and a digest of every chunk but the title's
    locale (ids, breaks, kinds, properties, sources, texts and values)."""
    chunks = {}
    for line in lines:
        if line["type"] != "chunk":
            continue
        kept = {k: v for k, v in line.items() if k not in ("type", "file") and not (k == "locale" and line["id"] == 1)}
        chunks.setdefault(line["file"], []).append(json.dumps(kept, sort_keys=True, ensure_ascii=False))
    return {name: {"chunks": len(parts), "digest": hashlib.sha256("\n".join(parts).encode()).hexdigest()[:16]}
            for name, parts in chunks.items()}


REAL_CHUNKS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "real-chunks.json")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Base(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.addCleanup(self.scratch.cleanup)

    def write(self, name, data):
        path = os.path.join(self.scratch.name, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def assert_one_line_reason(self, code, errors):
        self.assertNotEqual(EXIT_CRASHED, code, errors)
        for line in errors:
            self.assertNotIn("Unhandled", line)
            self.assertNotIn("backtrace", line.lower())
            self.assertFalse(line.startswith("wine:"), line)
        if code != 0:
            self.assertEqual(1, len(errors), errors)
            self.assertTrue(errors[0].startswith("filterdump: "), errors)

    def assert_title_only_or_failure(self, code, lines, errors):
        """A file that is no readable help file fails, or gives its title and nothing else."""
        if code != 0:
            return
        self.assertEqual(1, lines[-1]["chunks"], errors)
        self.assertEqual(["filterdump: note: only the document title: no page gave any chunk"], errors)

    def assert_well_formed_run(self, lines, code):
        """document, consecutive chunks, summary, whose counts match the chunks."""
        self.assertEqual("document", lines[0]["type"])
        chunks = [l for l in lines if l["type"] == "chunk"]
        self.assertEqual(list(range(1, len(chunks) + 1)), [c["id"] for c in chunks])
        summary = lines[-1]
        self.assertEqual("summary", summary["type"])
        self.assertEqual(code, summary["exit"])
        self.assertEqual(len(chunks), summary["chunks"])
        self.assertEqual(sum(1 for c in chunks if c["kind"] == "text"), summary["textChunks"])
        self.assertEqual(sum(len(c["text"].encode("utf-16-le")) // 2 for c in chunks if c["kind"] == "text"),
                         summary["characters"])
        self.assertEqual(sum(1 for c in chunks if c["break"] == "end-of-chapter"), summary["chapters"])
        self.assertEqual(summary["chapters"], summary["pages"], "the older name of the field")
        for c in chunks:
            self.assertEqual(c["kind"] == "text", "text" in c)
        return chunks, summary


class Output(Base):
    """What filterdump prints for files read by the reference page filter."""

    def test_json_is_valid_for_any_content(self):
        tricky = self.write("tricky.htm", (
            '<meta charset="utf-8"><title>quote " back \\ slash</title>'
            '<meta name="robots" content="noindex"><script>hidden()</script>'
            "<p>ctl \x01\x1f tab&#9; nul\x00 bell&#7; \u65e5\u672c \U0001F600 &#xD800;</p>").encode("utf-8"))
        # UTF-16 with a lone surrogate: the filter hands it on, the JSON must still be valid.
        lone = self.write("lone.htm", b"\xff\xfe" + "<p>a".encode("utf-16-le") + b"\x00\xd8" +
                          "b \U0001F600</p>".encode("utf-16-le"))
        plain = self.write("plain.txt", b"line one\r\nline \"two\" \\ end\r\n")
        for path in (tricky, lone, plain):
            with self.subTest(path=os.path.basename(path)):
                code, out, errors = run(path, "--json")
                self.assertEqual(0, code, errors)
                self.assert_one_line_reason(code, errors)
                lines = json_lines(out)
                self.assertIn("registration of ." + path.rsplit(".", 1)[1], lines[0]["how"])
                chunks, _ = self.assert_well_formed_run(lines, 0)
                self.assertTrue(chunks)
        text = " ".join(c.get("text", "") for c in json_lines(run(tricky, "--json")[1]) if c["type"] == "chunk")
        self.assertIn('quote " back \\ slash', text)
        self.assertIn("ctl \x01\x1f tab nul bell\x07 \u65e5\u672c \U0001F600 \ufffd", text)
        self.assertNotIn("hidden", text)
        values = [c for c in json_lines(run(tricky, "--json")[1]) if c.get("kind") == "value"]
        self.assertEqual([("robots", "noindex", "VT_LPWSTR")], [(v["propname"], v["value"], v["valueType"]) for v in values])
        lone_text = [c["text"] for c in json_lines(run(lone, "--json")[1]) if c["type"] == "chunk"]
        self.assertEqual(["a\ufffdb \U0001F600"], lone_text)

    def test_text_output(self):
        page = self.write("page.htm", b"<title>Hello</title><meta name=author content=Ann><p>World\x01</p>")
        code, out, errors = run(page)
        self.assertEqual(0, code, errors)
        self.assertEqual([], errors)
        self.assertIn("#1  text  end-of-chapter  Storage PID_STG_CONTENTS  locale 0x", out)
        self.assertIn("\n    Hello\n", out)
        self.assertIn("#2  value  end-of-paragraph  SummaryInformation PIDSI_AUTHOR", out)
        self.assertIn('VT_LPWSTR "Ann"', out)
        self.assertIn("\n    World\\x01\n", out)
        self.assertIn("Summary: chapters 1, chunks 3 (2 text, 1 value), characters 11, ", out)
        code, out, errors = run(page, "--quiet")
        self.assertEqual(0, code)
        self.assertTrue(out.strip().startswith("Summary: chapters 1, chunks 3"), out)

    def test_dll_and_class_named_on_the_command_line(self):
        page = self.write("page.unregistered", b"<p>named</p>")
        dll = windows_path(os.path.join(BIN_DIR, "ReferencePageFilter.dll"))
        code, out, errors = run(page, "--json", "--dll", dll, "--clsid", HTML_FILTER)
        self.assertEqual(0, code, errors)
        lines = json_lines(out)
        self.assertEqual("DLL and class named on the command line", lines[0]["how"])
        self.assertEqual(HTML_FILTER, lines[0]["clsid"])
        self.assertEqual("named", lines[1]["text"])


class Errors(Base):
    """Exit codes and one-line reasons; never a crash dialog or a Wine backtrace."""

    def test_missing_file(self):
        code, out, errors = run(os.path.join(self.scratch.name, "absent.chm"))
        self.assertEqual(2, code)
        self.assert_one_line_reason(code, errors)
        self.assertIn("no such file or folder", errors[0])

    def test_no_filter_registered(self):
        code, _, errors = run(self.write("data.xyz-none", b"data"))
        self.assertEqual(3, code)
        self.assert_one_line_reason(code, errors)
        self.assertIn("no filter registered for .xyz-none", errors[0])

    def test_not_a_chm(self):
        code, out, errors = run(self.write("not-help.chm", b"this is no help file\r\n" * 100), "--json")
        self.assert_one_line_reason(code, errors)
        self.assert_title_only_or_failure(code, json_lines(out), errors)

    def test_malformed_chms(self):
        folder = os.path.join(SHARED_CHM, "malformed")
        if not os.path.isdir(folder):
            self.skipTest("the shared CHM collection is absent")
        for name in sorted(os.listdir(folder)):
            with self.subTest(name=name):
                code, out, errors = run(os.path.join(folder, name), "--json")
                self.assert_one_line_reason(code, errors)
                self.assert_title_only_or_failure(code, json_lines(out), errors)

    def test_crashing_filter(self):
        page = self.write("page.htm", b"<p>x</p>")
        dll = windows_path(os.path.join(BIN_DIR, "CrashingFilter.dll"))
        code, _, errors = run(page, "--dll", dll, "--clsid", HTML_FILTER)
        self.assertEqual(EXIT_CRASHED, code)
        self.assertEqual(["filterdump: the filter crashed (exception 0xC0000005) while reading " + windows_path(page)],
                         errors)

    def test_folder_run(self):
        self.write("sub/one.chm", b"not a help file")
        self.write("sub/ignored.txt", b"not a help file either")
        # A class that is not registered fails every file.
        unknown = ["--clsid", "{00000000-0000-0000-0000-0000000000AA}"]
        code, out, errors = run(self.scratch.name, *unknown)
        self.assertEqual(6, code)
        self.assertEqual("[1/1] sub\\one.chm", errors[0])
        self.assertEqual("filterdump: 1 of 1 files did not end cleanly", errors[-1])
        self.assertTrue(out.startswith("file "), out)
        self.assertIn("sub\\one.chm", out)
        self.assertIn("cannot create filter {00000000-0000-0000-0000-0000000000AA}", out)
        self.assertIn("1 files, 1 failed", out)
        code, out, errors = run(self.scratch.name, "--json", *unknown)
        self.assertEqual(6, code)
        lines = json_lines(out)
        self.assertEqual({"type": "total", "files": 1, "failed": 1}, {k: lines[-1][k] for k in ("type", "files", "failed")})
        empty = os.path.join(self.scratch.name, "empty")
        os.makedirs(empty)
        code, _, errors = run(empty)
        self.assertEqual(2, code)
        self.assert_one_line_reason(code, errors)


class Sample(Base):
    """The main command's sample help file, built from docs/ (needs the CHM filter's pages)."""

    def test_sample_shows_title_pages_and_robots(self):
        code, out, errors = run("--json")
        self.assertEqual(0, code, errors)
        lines = json_lines(out)
        chunks, summary = self.assert_well_formed_run(lines, 0)
        self.assertEqual(SAMPLE_TITLE, summary["title"])
        self.assertEqual(("SummaryInformation PIDSI_TITLE", SAMPLE_TITLE), (chunks[0]["property"], chunks[0]["value"]))
        self.assertGreaterEqual(summary["chapters"], 5)
        text = " ".join(c.get("text", "") for c in chunks)
        self.assertIn("regsvr32", text)
        self.assertIn("IFilterProcess.ini", text)
        robots = [c["value"] for c in chunks if c.get("propname") == "robots"]
        self.assertEqual([""], robots, "noindex is blanked")
        code, out, errors = run()
        self.assertEqual(0, code, errors)
        self.assertIn("Title:  " + SAMPLE_TITLE, out)


class RealChm(Base):
    """Every real help file through the CHM filter (needs the CHM filter's pages)."""

    def test_json_for_every_real_chm(self):
        folder = os.path.join(SHARED_CHM, "real")
        if not os.path.isdir(folder):
            self.skipTest("the shared CHM collection is absent")
        code, out, errors = run(folder, "--json")
        lines = json_lines(out)
        summaries = {l["file"]: l for l in lines if l["type"] == "summary"}
        self.assertEqual(sorted(os.listdir(folder)), sorted(summaries))
        for name, summary in summaries.items():
            with self.subTest(name=name):
                self.assertEqual(0, summary["exit"], summary.get("reason"))
        self.assertEqual(0, code, errors)
        self.assertEqual("HTML Help ActiveX Control Reference", summaries["tika__testChm.chm"]["title"])
        self.assertGreater(summaries["tika__testChm.chm"]["chapters"], 1)
        self.assertEqual("7-Zip \u5e2e\u52a9", summaries["7z__zh-cn_7-zip.chm"]["title"])
        self.assertEqual("filetype__fixture", summaries["filetype__fixture.chm"]["title"])  # no title record: the name

    def test_every_real_chm_gives_the_chunks_it_gave_before(self):
        """Reaching what the storage component's listing misses by name changes
        nothing for files whose directory header is right: the chunks of every
        real file are those recorded before (real-chunks.json; the title
        chunk's locale aside, which now follows the file's language). Handed
        over as a stream, read by our own reader, each file gives the same."""
        folder = os.path.join(SHARED_CHM, "real")
        if not os.path.isdir(folder):
            self.skipTest("the shared CHM collection is absent")
        with open(REAL_CHUNKS, encoding="utf-8") as f:
            want = json.load(f)
        for how in ([], ["--stream"]):
            with self.subTest(how=how):
                code, out, errors = run(folder, "--json", "--chunks", *how)
                self.assertEqual(0, code, errors)
                self.assertEqual(want, chunk_digests(json_lines(out)))

    def test_one_real_chm_shows_its_pages(self):
        path = os.path.join(SHARED_CHM, "real", "tika__testChm.chm")
        if not os.path.isfile(path):
            self.skipTest("the shared CHM collection is absent")
        code, out, errors = run(path)
        self.assertEqual(0, code, errors)
        self.assertIn("Title:  HTML Help ActiveX Control Reference", out)
        self.assertIn("Storage PID_STG_CONTENTS", out)


class Conformance(Base):
    """filterdump --conformance: the IFilter test procedure, on every real help file (in every build)."""

    def report(self, out):
        """The failed conditions, and checks that the section lines add up to the closing line."""
        lines = out.splitlines()
        sections = [l for l in lines if re.match(r"^(config \d|threads|runs) .*: \d+ passed, \d+ failed \(", l)]
        self.assertEqual(7, len(sections), out)
        counts = [tuple(int(n) for n in re.search(r": (\d+) passed, (\d+) failed", l).groups()) for l in sections]
        closing = re.fullmatch(r"(\d+) passed, (\d+) failed", lines[-1])
        self.assertIsNotNone(closing, lines[-1])
        self.assertEqual((sum(c[0] for c in counts), sum(c[1] for c in counts)), tuple(int(n) for n in closing.groups()))
        failures = [l for l in lines if l.startswith("FAIL ")]
        self.assertEqual(int(closing.group(2)), len(failures))
        return failures

    def test_every_real_chm(self):
        folder = os.path.join(SHARED_CHM, "real")
        if not os.path.isdir(folder):
            self.skipTest("the shared CHM collection is absent")
        # By path, and handed over as a stream as Windows Search does.
        for how in ([], ["--stream"]):
            for name in sorted(os.listdir(folder)):
                with self.subTest(name=name, how=how):
                    code, out, errors = run(os.path.join(folder, name), "--conformance", *how, *CONFORMANCE_COUNTS)
                    failures = self.report(out)
                    self.assertEqual(0, code, "\n".join(failures + errors))

    def test_broken_filter(self):
        # Called directly, not through the CHM filter: its own chunk sources
        # (never its chunk ids), and a GetText answer no filter may give.
        page = self.write("page.htm", b"<!--script\ntext some words\nvalue a value\ntext-error 80004005 lost\n-->")
        dll = windows_path(os.path.join(BIN_DIR, "ScriptPageFilter.dll"))
        code, out, errors = run(page, "--conformance", "--dll", dll, "--clsid", SCRIPT_FILTER)
        self.assertEqual(EXIT_NOT_CONFORMANT, code, errors)
        failures = self.report(out)
        self.assertEqual(["filterdump: %d conditions failed" % len(failures)], errors)
        config1 = "FAIL config 1 (flags 0, no attributes), "
        self.assertEqual([
            config1 + "validation, chunk 101: chunk source: idChunkSource 201 differs from idChunk",
            config1 + "validation, chunk 102: chunk source: idChunkSource 202 names no text chunk given before",
            config1 + "validation, chunk 103: chunk source: idChunkSource 203 differs from idChunk",
            config1 + "validation, chunk 103: GetText answers: the 1st GetText answered 0x80004005",
            config1 + "consistency, chunk 103: GetText answers: the 1st GetText answered 0x80004005",
            config1 + "invalid input, chunk 103: text after the wrong call: the 1st GetText answered 0x80004005",
        ], [re.sub(r" \([^()]*\)$", "", f) for f in failures[:6]])  # without the system's message text
        # The same in each configuration; the threads and runs agree with config 2.
        self.assertEqual(5 * 6, len(failures))

    def test_usage(self):
        page = self.write("page.htm", b"<p>x</p>")
        for args, reason in [
            ([self.scratch.name, "--conformance"], "--conformance takes a file, not a folder"),
            ([page, "--conformance", "--json"], "--conformance prints its own report: no --json, --chunks or --quiet"),
            ([page, "--conformance", "--threads", "65"], "--threads takes a number from 0 to 64"),
            ([page, "--runs", "2"], "--threads and --runs go with --conformance"),
        ]:
            with self.subTest(args=args[1:]):
                code, _, errors = run(*args)
                self.assertEqual(1, code)
                self.assertEqual("filterdump: " + reason, errors[0])


if __name__ == "__main__":
    if sys.argv[1:2] == ["--record-real-chunks"]:
        # Writes real-chunks.json from the build SHOW_RUN names.
        code, out, errors = run(os.path.join(SHARED_CHM, "real"), "--json", "--chunks")
        if code != 0:
            raise SystemExit("\n".join(errors))
        with open(REAL_CHUNKS, "w", encoding="utf-8") as f:
            json.dump(chunk_digests(json_lines(out)), f, indent=1, sort_keys=True, ensure_ascii=False)
            f.write("\n")
        raise SystemExit(0)
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[1:]])
