#!/usr/bin/env python3
"""Mutation fuzzer for Tavrinolex.dll.

Makes mutants of the help files in the seed folder (and of small structure cases
compiled here with chmcmd), writes them in batches, and has fuzz_worker.exe filter
each batch in one Windows process. When the worker dies, the mutant it was on is
recorded as a crash (with the module the fault was raised in) and a new worker goes
on from the next mutant. Every failing input is kept in the output folder.

  fuzz.py --build BUILD --seeds CHM_FOLDER --mutants N --seed S --out FOLDER

Exit code: 0 when nothing failed in our code (crashes inside the platform's storage
component are listed apart and do not fail the run unless --platform-faults-fail is
given), 1 otherwise, 2 on a setup error.
"""
import argparse
import concurrent.futures
import queue
import json
import os
import random
import shutil
import subprocess
import sys
import time
from pathlib import Path

from mutators import mutate, mutation_kinds
from structure_cases import structure_cases

# Written by the stand-in storage into the run folder (see PlatformHeapCheck).
HEAP_REPORT = "platform-heap-damage.txt"

MODULE_KINDS = {
    "tavrinolex.dll": "ours",
    "itss.dll": "platform storage (itss.dll)",
    "chmstoragestandin.dll": "stand-in storage",
    "referencepagefilter.dll": "reference page filter",
}

IFEO = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options"

# The system's runtime: a fault inside it (the heap, mostly) belongs to the module
# that called it.
RUNTIME = {"ntdll.dll", "kernel32.dll", "kernelbase.dll", "msvcrt.dll", "ucrtbase.dll"}


def culprit(fault):
    """The module a fault line blames: "code address module +offset <caller+offset ..."."""
    fields = fault.split(" ")
    modules = fields[2:3] + [f[1:].rsplit("+", 1)[0] for f in fields[4:] if f.startswith("<")]
    for module in modules:
        if module.lower() not in RUNTIME:
            return module
    return modules[0] if modules else "unknown"


def fatal_fault(faults):
    """The fault that ended the worker: the last one, unless it was raised while an
    earlier one was being dispatched (its frames then run through the earlier
    fault's callers), in which case the earlier one."""
    if not faults:
        return None
    chosen = len(faults) - 1
    for earlier in range(chosen - 1, -1, -1):
        callers = [f for f in faults[earlier].split(" ")[4:] if f.startswith("<")]
        frames = faults[chosen].split(" ")[4:]
        if callers and callers[0] in frames[1:]:
            chosen = earlier
    return faults[chosen]


def culprit_of_frames(where):
    """The same for a hang's looks, "module+offset <caller+offset ... | ...": the first
    look that names a module outside the runtime decides."""
    for look in where.split(" | "):
        modules = [t.lstrip("<").rsplit("+", 1)[0] for t in look.split(" ") if t]
        for module in modules:
            if module.lower() not in RUNTIME and module != "unknown":
                return module
    return "unknown"


def fault_kind(fault):
    """What a fatal fault line ("F i code address module ...") says happened."""
    if not fault:
        return "no fault seen"
    code = fault.split(" ")[0].upper()
    return {"C0000005": "access violation", "C0000094": "divide by zero", "C0000374": "heap corruption found",
            "C0000409": "stack buffer overrun", "C00000FD": "stack overflow"}.get(code, "fault 0x" + code)


def winpath(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Fuzzer:
    def __init__(self, args):
        self.args = args
        self.build = Path(args.build).resolve()
        self.out = Path(args.out).resolve()
        self.inputs = self.out / "inputs"
        self.kept = self.out / "failures"
        self.counts = dict(mutants=0, ok=0, crashes={}, hangs=0, platform_hangs=0, heap_damaged=0, leaks=0, contract=0,
                           faults_handled=0, mutants_by_kind={}, platform_by_kind={})
        self.failures = []

    def setup(self):
        if self.out.exists():
            shutil.rmtree(self.out)
        for f in (self.inputs, self.kept):
            f.mkdir(parents=True)
        if self.args.replay:
            self.seeds, self.structure = [], []
            self.start_prefix()
            return
        seeds_dir = Path(self.args.seeds)
        self.seeds = []
        if seeds_dir.is_dir():
            for f in sorted(seeds_dir.rglob("*")):
                if f.is_file() and f.suffix.lower() == ".chm" and f.stat().st_size <= self.args.max_seed_size:
                    self.seeds.append((f.name, f.read_bytes()))
        else:
            print("fuzz: no seed folder %s; structure cases only" % seeds_dir)
        self.start_prefix()
        self.structure = list(structure_cases(self.out / "structure").items())
        shutil.rmtree(self.out / "structure")
        self.seeds += self.structure

    def start_prefix(self):
        """The prefix must be up, with the stand-in storage registered (both are idempotent)."""
        runner = str(self.build / "wine-run.sh")
        subprocess.run([runner, "start"], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([runner, "regsvr32", "/s", winpath(self.build / "bin" / "ChmStorageStandIn.dll")], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Tail and free checking for the worker's heap (the system's global flags 0x10
        # and 0x20, per program): a block written past its end or after its release
        # is then found by the next validation of the heap, even when the write
        # stays inside the block's padding.
        subprocess.run([runner, "reg", "add", IFEO + "\\fuzz_worker.exe", "/v", "GlobalFlag", "/t", "REG_DWORD",
                        "/d", "0x30", "/f"], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def plan(self):
        """The mutants: every structure case as it is, then mutants of random seeds."""
        if self.args.replay:
            return [(f.name, f.read_bytes(), ["kept input"]) for f in sorted(Path(self.args.replay).rglob("*.chm"))]
        rng = random.Random(self.args.seed)
        plan = [(name, data, ["as made"]) for name, data in self.structure]
        while len(plan) < self.args.mutants:
            name, seed = rng.choice(self.seeds)
            data, ops = mutate(seed, rng, self.args.skip_decoder)
            plan.append((name, data, ops))
        return plan[:self.args.mutants]

    def run_batch(self, batch, base, slot):
        """Runs one batch in worker slot `slot` (its own inputs, run folder and results)."""
        inputs = self.inputs / ("batch%06d" % base)
        inputs.mkdir()
        run_folder = self.out / ("run%d" % slot)
        names = []
        for k, (_, data, _) in enumerate(batch):
            path = inputs / ("m%06d.chm" % (base + k))
            path.write_bytes(data)
            names.append(path)
        listing = self.out / ("list%d.txt" % slot)
        listing.write_text("\n".join(winpath(p) for p in names) + "\n", encoding="utf-8")
        results = self.out / ("results%d.txt" % slot)
        status = {}
        faults = {}
        start = 0
        while start < len(batch):
            if results.exists():
                results.unlink()
            if run_folder.exists():
                shutil.rmtree(run_folder)
            proc = subprocess.Popen(
                [str(self.build / "wine-run.sh"), str(self.build / "bin" / "fuzz_worker.exe"), winpath(listing),
                 winpath(results), winpath(run_folder), str(self.args.timeout * 1000), str(start)],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            last_size, last_change = -1, time.time()
            while proc.poll() is None:
                time.sleep(0.05)
                size = results.stat().st_size if results.exists() else 0
                if size != last_size:
                    last_size, last_change = size, time.time()
                elif time.time() - last_change > self.args.timeout + 20:
                    proc.kill()     # the worker itself is stuck: its own watchdog did not fire
                    proc.wait()
            lines = results.read_text(errors="replace").splitlines() if results.exists() else []
            current = None
            ended = False
            for line in lines:
                parts = line.split(" ", 2)
                if parts[0] == "E":
                    ended = True
                    continue
                if len(parts) < 2:
                    continue
                i = int(parts[1])
                if parts[0] == "B":
                    current = i
                    status.setdefault(i, [])
                elif parts[0] == "F":
                    faults.setdefault(i, []).append(parts[2] if len(parts) > 2 else "")
                else:
                    status.setdefault(i, []).append((parts[0], parts[2] if len(parts) > 2 else ""))
            if ended:
                break
            if current is None:
                print("fuzz: the worker did not start (exit code %s)" % proc.returncode, file=sys.stderr)
                sys.exit(2)
            # The stand-in storage validates the heap around every call into Wine's
            # itss.dll; when a call left it damaged, it names the call here and ends
            # the process before the damage can surface anywhere else.
            report = run_folder / HEAP_REPORT
            if report.exists():
                status[current].append(("P", report.read_text(errors="replace").strip() or "unknown call"))
            elif not any(kind in ("O", "C", "H", "V") for kind, _ in status[current]):
                status[current].append(("X", "exit code %s" % proc.returncode))
            start = current + 1
            # A worker that died leaves what it was doing: clean up before the next.
            leftovers = [str(p.relative_to(run_folder)) for p in (run_folder / "tmp").rglob("*")] \
                if (run_folder / "tmp").exists() else []
            if leftovers:
                status[current].append(("L", "after the crash: " + ", ".join(leftovers[:5])))
        # Writes next to the inputs are writes outside the run's folder too.
        expected = {p.name for p in names}
        extras = sorted(p.name for p in inputs.iterdir() if p.name not in expected)
        return names, status, faults, extras

    def judge_batch(self, batch, base, outcome):
        names, status, faults, extras = outcome
        for extra in extras:
            self.counts["leaks"] += 1
            self.record(base, batch[0], "leak", "written beside the inputs: " + extra, names[0])
        for k, item in enumerate(batch):
            self.judge(base + k, item, status.get(k, []), faults.get(k, []), names[k])
        shutil.rmtree(names[0].parent)

    def count_platform(self, item, what):
        """One failure inside Wine's itss.dll, by what happened and by the mutation that led there."""
        table = self.counts["platform_by_kind"].setdefault(what, {})
        mutation = " + ".join(mutation_kinds(item[2]))
        table[mutation] = table.get(mutation, 0) + 1

    def judge(self, index, item, events, faults, path):
        self.counts["mutants"] += 1
        mutation = " + ".join(mutation_kinds(item[2]))
        self.counts["mutants_by_kind"][mutation] = self.counts["mutants_by_kind"].get(mutation, 0) + 1
        kinds = [kind for kind, _ in events]
        if "P" in kinds:
            call = [text for kind, text in events if kind == "P"][0]
            where = "platform storage (itss.dll), heap damaged inside its %s" % call
            self.counts["crashes"][where] = self.counts["crashes"].get(where, 0) + 1
            self.count_platform(item, "heap damage inside %s" % call)
            self.record(index, item, "platform-heap", where, path)
        elif "X" in kinds:
            fault = fatal_fault(faults)
            module = culprit(fault) if fault else "unknown (no fault seen)"
            where = MODULE_KINDS.get(module.lower(), "other (%s)" % module)
            # A fault inside the runtime is mostly a heap that someone corrupted
            # earlier; the module that called in is only where it surfaced.
            if fault and fault.split(" ")[2].lower() in RUNTIME:
                where += ", heap"
            self.counts["crashes"][where] = self.counts["crashes"].get(where, 0) + 1
            if where.startswith("platform storage (itss.dll)"):
                self.count_platform(item, fault_kind(fault))
            # What the dead worker could not clean up belongs to the crash, not to the filter.
            after = [text for kind, text in events if kind == "L"]
            exit_code = [text for kind, text in events if kind == "X"]
            self.record(index, item, "crash", "; ".join([where] + exit_code + [fault or ""] + after), path)
        elif "H" in kinds:
            where = [text for kind, text in events if kind == "W"]
            checks = [text for kind, text in events if kind == "S"]
            # Where the thread stood: "module+offset <caller+offset ...".
            module = culprit_of_frames(where[0]) if where else "unknown"
            # Inside a call into itss.dll, or validating the heap right after one:
            # a validation only runs on when the call left the heap's lists damaged.
            if checks and not checks[0].startswith("checking the heap before"):
                module = "itss.dll"
                where = checks + where
            if module.lower() == "itss.dll":
                self.counts["platform_hangs"] += 1
                self.count_platform(item, "hang")
                kind = "platform-hang"
            else:
                self.counts["hangs"] += 1
                kind = "hang"
            self.record(index, item, kind, "; ".join(["past %d s" % self.args.timeout] + where), path)
        if "V" in kinds:
            # Found after the file ended cleanly. Damage done inside Wine's itss.dll
            # ends the worker at the call that did it ("P"), so this was done outside it.
            self.counts["heap_damaged"] += 1
            self.record(index, item, "heap-damaged", "the process heap was damaged outside the storage component "
                        "while this file was filtered", path)
        if faults and not {"X", "P"} & set(kinds):
            self.counts["faults_handled"] += 1
        problems = [text for kind, text in events if kind == "C"]
        if any("left behind" in p for p in problems):
            self.counts["leaks"] += 1
        if any("left behind" not in p for p in problems):
            self.counts["contract"] += 1
        if problems:
            self.record(index, item, "contract", "; ".join(problems[:6]), path)
        if "O" in kinds and not problems:
            self.counts["ok"] += 1

    def record(self, index, item, kind, detail, path):
        seed, _, ops = item
        name = "%s-%06d.chm" % (kind, index)
        if path.exists():
            shutil.copyfile(path, self.kept / name)
        entry = dict(mutant=index, kind=kind, detail=detail, seed=seed, mutations=ops,
                     mutation_kinds=mutation_kinds(ops), kept=name)
        self.failures.append(entry)
        print("fuzz: %s in mutant %d (%s; %s): %s" % (kind, index, seed, ", ".join(ops), detail))

    def run(self):
        self.setup()
        plan = self.plan()
        if self.args.dump:
            # The mutants as files, to replay a stretch of the run by hand.
            Path(self.args.dump).mkdir(parents=True, exist_ok=True)
            for k, (_, data, _) in enumerate(plan):
                (Path(self.args.dump) / ("m%06d.chm" % k)).write_bytes(data)
            return 0
        if self.args.reader:
            # Every mutant through our own reader, in one process (fuzz_reader.exe says what it checks).
            folder = self.out / "reader"
            folder.mkdir()
            for k, (_, data, _) in enumerate(plan):
                (folder / ("m%06d.chm" % k)).write_bytes(data)
            done = subprocess.run([str(self.build / "wine-run.sh"), str(self.build / "bin" / "fuzz_reader.exe"),
                                   winpath(folder), str(self.args.timeout * 1000)])
            return 0 if done.returncode == 0 else 1
        began = time.time()
        bases = list(range(0, len(plan), self.args.batch))
        slots = queue.Queue()
        for slot in range(self.args.jobs):
            slots.put(slot)

        def one(base):
            slot = slots.get()
            try:
                return self.run_batch(plan[base:base + self.args.batch], base, slot)
            finally:
                slots.put(slot)

        with concurrent.futures.ThreadPoolExecutor(self.args.jobs) as pool:
            for base, outcome in zip(bases, pool.map(one, bases)):
                self.judge_batch(plan[base:base + self.args.batch], base, outcome)
                if self.args.progress:
                    done = min(base + self.args.batch, len(plan))
                    print("fuzz: %d/%d mutants, %.1f/s" % (done, len(plan), done / (time.time() - began)),
                          flush=True)
        elapsed = time.time() - began
        c = self.counts
        c["seconds"] = round(elapsed, 1)
        c["mutants_per_second"] = round(c["mutants"] / elapsed, 2) if elapsed else 0
        c["seeds"] = len(self.seeds)
        (self.out / "summary.json").write_text(json.dumps(dict(counts=c, failures=self.failures), indent=1))
        for slot in range(self.args.jobs):
            (self.out / ("list%d.txt" % slot)).unlink(missing_ok=True)
        print("fuzz: %d %s in %.0f s: %.2f mutants/s" % (
            c["mutants"], "kept inputs" if self.args.replay else "mutants from %d seeds (random seed %d)" % (
                c["seeds"], self.args.seed), elapsed, c["mutants_per_second"]))
        platform = sum(n for where, n in c["crashes"].items() if where.startswith("platform storage (itss.dll)"))
        ours = sum(c["crashes"].values()) - platform
        print("fuzz: crashes in our code or the test platform's stand-ins: %d; in the platform's itss.dll: %d" % (
            ours, platform))
        for where, n in sorted(c["crashes"].items()):
            print("fuzz:   crashes in %s: %d" % (where, n))
        print("fuzz: hangs %d (and %d inside the platform's itss.dll), leaked files %d, contract breaks %d, "
              "faults handled inside a call %d" % (c["hangs"], c["platform_hangs"], c["leaks"], c["contract"],
                                                   c["faults_handled"]))
        print("fuzz: files after which the process heap was found damaged outside the storage component: %d" %
              c["heap_damaged"])
        if c["platform_by_kind"]:
            print("fuzz: inside the platform's itss.dll, by what happened and by the mutation that led there:")
            for what, by_mutation in sorted(c["platform_by_kind"].items()):
                print("fuzz:   %s: %d (%s)" % (what, sum(by_mutation.values()), ", ".join(
                    "%s %d" % (m, n) for m, n in sorted(by_mutation.items(), key=lambda x: (-x[1], x[0])))))
        print("fuzz: failing inputs kept in %s" % self.kept if self.failures else "fuzz: no failing input")
        if self.args.platform_faults_fail and (platform or c["platform_hangs"]):
            print("fuzz: faults inside the platform's itss.dll fail this run (--platform-faults-fail)")
            return 1
        return 0 if (ours == 0 and not c["hangs"] and not c["leaks"] and not c["contract"]
                     and not c["heap_damaged"]) else 1


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--build", required=True, help="build folder (holds wine-run.sh and bin/)")
    p.add_argument("--seeds", help="folder of seed help files (searched recursively)")
    p.add_argument("--out", required=True, help="output folder (emptied first)")
    p.add_argument("--mutants", type=int, default=300)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--timeout", type=int, default=20, help="time bound of one mutant, in seconds")
    p.add_argument("--batch", type=int, default=250, help="mutants per worker process")
    p.add_argument("--max-seed-size", type=int, default=200000, help="larger seed files are not used")
    p.add_argument("--skip-decoder", action="store_true",
                   help="leave out the mutations of compressed data and its tables")
    p.add_argument("--jobs", type=int, default=1, help="workers running at once")
    p.add_argument("--progress", action="store_true")
    p.add_argument("--replay", help="run the help files of this folder and its sub-folders as they are, each in a "
                   "worker of its own")
    p.add_argument("--dump", help="write the mutants into this folder instead of running them")
    p.add_argument("--reader", action="store_true",
                   help="run the mutants through our own reader (fuzz_reader.exe) instead of the filter")
    p.add_argument("--platform-faults-fail", action="store_true",
                   help="count crashes and hangs inside the platform's itss.dll as failures too")
    args = p.parse_args()
    if args.replay:
        args.batch = 1
    elif not args.seeds:
        p.error("--seeds is needed unless --replay is given")
    if not shutil.which("chmcmd"):
        print("fuzz: chmcmd is not installed (scripts/setup.sh installs it)", file=sys.stderr)
        return 2
    return Fuzzer(args).run()


if __name__ == "__main__":
    sys.exit(main())
