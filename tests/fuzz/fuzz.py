#!/usr/bin/env python3
"""Feeds the program random command lines and damaged save files.

Command lines are built from the interpreter's own keyword lists (asked for
with "?" at every level, so new commands join by themselves) with hostile
numbers, long tokens, quotes, "&" continuations, ";" comments and ranges.
Save files are damaged copies of a saved model: cut short, bits and bytes
flipped, count fields set huge, with and without their checksum trailer.

Each batch runs as its own process in a scratch folder, or with --driver
many batches run in one process of the in-process driver (fuzz_driver.cpp).
A batch fails when the program dies of a signal, exits with a code other
than 0 or 1, prints a sanitizer report, or overruns its time budget (a
hang); the driver also fails a batch that leaks or grows past its memory
limit. A failing batch is minimised, by lines and then by words within the
lines, to a short command file that still fails the same way and written to
the output folder.

    python3 tests/fuzz/fuzz.py --binary build-sanitize/terrax --seed 1 --lines 4000 --saves 300
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

# Words never sent: they run the shell, leave the scratch folder or end the run.
EXCLUDED = {"system", "quit", "stop", "exit", "gui", "directory", "mainwin", "debug"}
# Commands whose numbers set a length of calculation: kept small, since a
# long calculation that was asked for is no hang.
CALCULATION = {"step", "cycle", "solve"}

HOSTILE_NUMBERS = ["0", "-1", "1", "2", "2147483648", "2147483647", "-2147483649", "4294967296", "1e308",
                   "-1e308", "1e-308", "nan", "inf", "-inf", "0.5", "-0.0", "1e9", "3", "10", "100", "1e5",
                   "0x10", "1.5e", "--1", "99999999999999999999"]
RANGE_PARTS = ["range x -1 1", "range y 0 0.5", "range id 1 3", "range group soil", "range z -inf inf",
               "range sphere 0 0 0 1e308", "range plane origin 0 0 0 normal 0 0 1 above", "range cylinder end1 0 0 0 end2 0 0 1 radius 1"]
SETUP = ["gen zone brick size 3 3 3", "model mohr", "prop bulk 1e8 shear 5e7 coh 1e4 fric 30 dens 2000",
         "set grav 0 0 -10", "fix z range z -0.1 0.1", "group soil range z 0 1.5", "macro mm 'print version'"]


def fresh_env(folder):
    # One thread for the step unless asked otherwise: a fuzzing run keeps to
    # its own core.
    env = dict(os.environ, HOME=folder, OLVENA=folder, LC_ALL="C", ASAN_OPTIONS="detect_leaks=1:abort_on_error=0",
               UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1")
    env.setdefault("OMP_NUM_THREADS", "1")
    return env


# Exit codes of the in-process driver for the faults it finds itself.
# Lines that overran their budget and ended at the ESC the driver sent.
STOPPED_BY_ESC = [0]
DRIVER_FAULTS = {70: "hang", 71: "memory", 72: "leak", 73: "exit"}


def classify(returncode, err):
    """The kind of failure of a finished process, or None."""
    if returncode < 0:
        return "signal %d" % -returncode, err[-2000:]
    if "Sanitizer" in err or "runtime error" in err:
        m = re.search(r"(ERROR: \w+Sanitizer: [\w-]+|runtime error: [^\n]*)", err)
        return "sanitizer " + (m.group(1) if m else ""), err[-4000:]
    if returncode in DRIVER_FAULTS:
        return DRIVER_FAULTS[returncode], err[-2000:]
    if returncode not in (0, 1):
        return "exit %d" % returncode, err[-2000:]
    return None, ""


def run(binary, lines, workdir, budget, files=None):
    """Runs the lines in a fresh copy of the folder; answers (kind, detail)."""
    folder = tempfile.mkdtemp(dir=workdir)
    try:
        for name, data in (files or {}).items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        data = ("\n".join(lines) + "\n").encode("latin-1", "replace")
        try:
            p = subprocess.run([binary], input=data, cwd=folder, env=fresh_env(folder), capture_output=True,
                               timeout=budget)
        except subprocess.TimeoutExpired:
            return "hang", ""
        return classify(p.returncode, p.stderr.decode("latin-1"))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def run_driver(driver, batches, workdir, budget, max_rss):
    """Runs batches of (lines, files) through one process of the in-process
    driver; answers (kind, detail, index of the failing batch)."""
    folder = tempfile.mkdtemp(dir=workdir)
    try:
        parts = []
        for lines, files in batches:
            parts.append(b"@@batch\n")
            for name, data in (files or {}).items():
                parts.append(b"@@file %s %d\n" % (name.encode(), len(data)) + data + b"\n")
            parts.append(("\n".join(lines) + "\n").encode("latin-1", "replace"))
        # The driver's own watchdog acts long before this.
        limit = 60 + sum(2 * budget * len(lines) + 5 for lines, _ in batches)
        command = [driver, "--budget", str(budget), "--max-rss-mb", str(max_rss)]
        try:
            p = subprocess.run(command, input=b"".join(parts), cwd=folder, env=fresh_env(folder),
                               capture_output=True, timeout=limit)
            out, err = p.stdout, p.stderr.decode("latin-1")
            kind, detail = classify(p.returncode, err)
        except subprocess.TimeoutExpired as e:
            out, kind, detail = e.stdout or b"", "hang", "the driver's watchdog did not act"
        begun = re.findall(rb"@@start (\d+)", out)
        STOPPED_BY_ESC[0] += sum(int(n) for n in re.findall(rb"@@esc (\d+)", out))
        return kind, detail, int(begun[-1]) - 1 if begun else 0
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def keywords(binary, workdir, prefixes):
    """The keywords the interpreter lists for "prefix ?", for every prefix, in one run."""
    folder = tempfile.mkdtemp(dir=workdir)
    try:
        text = "".join(p + " ?\n" for p in prefixes)
        proc = subprocess.run([binary], input=text.encode(), cwd=folder, capture_output=True, timeout=120,
                              env=dict(os.environ, HOME=folder, OLVENA=folder))
        out = proc.stdout.decode("latin-1")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    table = {}
    current = None
    listing = False
    for line in out.splitlines():
        if line.startswith("Terrax>"):
            current = line[len("Terrax>"):].rsplit("?", 1)[0].strip()
            listing = False
            table.setdefault(current, [])
        elif line.startswith("Checked against keywords..."):
            listing = True
        elif listing and current is not None:
            table[current] += [w for w in line.split() if w.isascii() and w.lower() not in EXCLUDED]
    return table


def vocabulary(binary, workdir):
    """Keywords of every command and of their first and second words."""
    table = keywords(binary, workdir, [""])
    firsts = table.get("", [])
    table.update(keywords(binary, workdir, firsts))
    seconds = [f + " " + w for f in firsts for w in table.get(f, [])[:40]]
    table.update(keywords(binary, workdir, seconds))
    return table


def token(rng, table, prefix):
    r = rng.random()
    words = table.get(prefix, [])
    if words and r < 0.45:
        return rng.choice(words)
    if r < 0.75:
        return rng.choice(HOSTILE_NUMBERS)
    if r < 0.80:
        return "(" + ",".join(rng.choice(HOSTILE_NUMBERS) for _ in range(3)) + ")"
    if r < 0.84:
        return rng.choice(["'", '"', "'a b'", '"unclosed', "'\\'", "#mm", "mm"])
    if r < 0.87:
        return rng.choice(["&", ";", "; comment", "=", ",", "id", "@"])
    if r < 0.90:
        return rng.choice("abcxyz") * rng.choice([1, 80, 300, 5000])
    if r < 0.95:
        return rng.choice(RANGE_PARTS)
    return str(rng.randint(-5, 40))


def command_line(rng, table):
    first = rng.choice(table[""])
    words = [first]
    prefix = first
    for _ in range(rng.randint(0, 8)):
        t = token(rng, table, prefix)
        words.append(t)
        if prefix.count(" ") < 1 and t in table.get(prefix, []):
            prefix = prefix + " " + t
    if first.lower() in CALCULATION:
        words = [w if not re.match(r"^[-+0-9.(]|^nan|^inf", w) else str(rng.randint(0, 50)) for w in words]
        words = [w for w in words if w.lower() not in ("clock", "age", "fos")]
        if first.lower() == "solve":
            words.insert(1, "step 30")  # a solve that never settles runs to its step limit
    return " ".join(words)


def damaged_saves(rng, good, count):
    """Damaged copies of a save file (bytes), with or without the trailer."""
    body = good[:-20] if good[-20:-12] == b"TRXCRC32" else good
    for _ in range(count):
        base = bytearray(good if rng.random() < 0.2 else body)
        kind = rng.choice(["cut", "bit", "byte", "count", "count"])
        if kind == "cut":
            base = base[: rng.randrange(len(base))]
        elif kind == "bit":
            for _ in range(rng.randint(1, 3)):
                i = rng.randrange(len(base))
                base[i] ^= 1 << rng.randrange(8)
        elif kind == "byte":
            i = rng.randrange(len(base))
            base[i] = rng.randrange(256)
        else:
            i = rng.randrange(24, max(25, len(base) - 4)) & ~3
            base[i:i + 4] = rng.choice([b"\xff\xff\xff\x7f", b"\xff\xff\xff\xff", b"\x00\x00\x00\x80", b"\x10\x27\x00\x00"])
        yield kind, bytes(base)


def ddmin(items, fails):
    """The shortest list of items (one at a time removed, then halves) that still fails."""
    n = 2
    while len(items) >= 2:
        chunk = max(1, len(items) // n)
        reduced = False
        for start in range(0, len(items), chunk):
            candidate = items[:start] + items[start + chunk:]
            if candidate and fails(candidate):
                items, n, reduced = candidate, max(n - 1, 2), True
                break
        if not reduced:
            if chunk == 1:
                break
            n = min(len(items), n * 2)
    return items


def minimise(runner, lines, kind, files=None):
    """The shortest command file that fails as `kind`: lines first, then the
    words within each line that is left."""
    def fails(candidate):
        got, _ = runner(candidate, files)
        return got is not None and got.split(":")[0] == kind.split(":")[0]
    lines = ddmin(lines, fails)
    for i in range(len(lines)):
        words = ddmin(lines[i].split(" "), lambda w: fails(lines[:i] + [" ".join(w)] + lines[i + 1:]))
        lines[i] = " ".join(words)
    return lines


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--binary", required=True)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--lines", type=int, default=2000, help="command lines in all")
    ap.add_argument("--saves", type=int, default=200, help="damaged save files in all")
    ap.add_argument("--batch", type=int, default=100, help="command lines per process")
    ap.add_argument("--budget", type=float, default=1.0, help="seconds allowed per command line")
    ap.add_argument("--out", default="fuzz-failures", help="folder for minimised failures")
    ap.add_argument("--minutes", type=float, default=0, help="stop after this long (0: no limit)")
    ap.add_argument("--driver", help="the in-process driver (build/tests/fuzz_driver): many batches a process")
    ap.add_argument("--chunk", type=int, default=100, help="batches per driver process")
    ap.add_argument("--max-rss-mb", type=int, default=4096, help="driver: the memory a batch may reach")
    args = ap.parse_args()
    binary = os.path.abspath(args.binary)
    driver = os.path.abspath(args.driver) if args.driver else None
    rng = random.Random(args.seed)
    workdir = tempfile.mkdtemp(prefix="terrax-fuzz-")
    started = time.time()
    failures = 0
    done = {"lines": 0, "saves": 0}
    shown = [started]

    def out_of_time():
        return args.minutes and time.time() - started > args.minutes * 60

    def runner(lines, files):
        if driver:
            return run_driver(driver, [(lines, files)], workdir, args.budget, args.max_rss_mb)[:2]
        return run(binary, lines, workdir, 5 + args.budget * len(lines), files)

    def report(kind, lines, detail, files=None):
        nonlocal failures
        failures += 1
        print("found (%s), minimising ..." % kind, flush=True)
        os.makedirs(args.out, exist_ok=True)
        name = os.path.join(args.out, "failure%d" % failures)
        again, _ = runner(lines, files)
        if again is None:
            # Earlier batches of the same driver process are part of the cause.
            print("not reproduced by the batch alone; kept whole", flush=True)
            small = lines
        else:
            small = minimise(runner, lines, kind, files)
        with open(name + ".dat", "w", encoding="latin-1") as f:
            f.write("\n".join(small) + "\n")
        for fname, data in (files or {}).items():
            with open(name + "." + fname, "wb") as f:
                f.write(data)
        print("FAILED (%s): %s.dat, %d lines\n%s" % (kind, name, len(small), detail), flush=True)

    def execute(batches, counter, count):
        """Runs batches of (lines, files, note): one a process, or a chunk of
        them a driver process, until the time is up."""
        pending = []

        def flush():
            nonlocal pending
            while pending:
                if driver:
                    kind, detail, i = run_driver(driver, [b[:2] for b in pending], workdir, args.budget,
                                                 args.max_rss_mb)
                else:
                    (kind, detail), i = runner(*pending[0][:2]), 0
                if not kind:
                    i = len(pending) - 1
                else:
                    lines, files, note = pending[i]
                    report(kind + note, lines, detail, files)
                done[counter] += count * (i + 1)
                pending = pending[i + 1:]
            if time.time() - shown[0] > 300:
                shown[0] = time.time()
                print("%d command lines, %d damaged save files, %d failures, %.0f s so far" %
                      (done["lines"], done["saves"], failures, time.time() - started), flush=True)

        for batch in batches:
            if out_of_time():
                break
            pending.append(batch)
            if not driver or len(pending) >= args.chunk:
                flush()
        flush()

    try:
        table = vocabulary(binary, workdir)
        line_batches = ((SETUP + [command_line(rng, table) for _ in range(args.batch)], None, "")
                        for _ in range((args.lines + args.batch - 1) // args.batch))
        execute(line_batches, "lines", args.batch)

        # A model with something of each kind, saved by the program itself.
        folder = tempfile.mkdtemp(dir=workdir)
        subprocess.run([binary], input=("\n".join(SETUP + ["step 5", "save good"]) + "\n").encode(), cwd=folder,
                       capture_output=True, timeout=120, env=dict(os.environ, HOME=folder, OLVENA=folder))
        with open(os.path.join(folder, "good.sav"), "rb") as f:
            good = f.read()
        use = ["restore bad", "print information", "print zone gp range id 1 5", "step 3", "save again",
               "restore again", "new", "gen zone brick size 2 2 2"]
        save_batches = ((use, {"bad.sav": bad}, " (" + kind_of_damage + ")")
                        for kind_of_damage, bad in damaged_saves(rng, good, args.saves))
        execute(save_batches, "saves", 1)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    print("%d command lines, %d damaged save files, %d failures, %.0f s" %
          (done["lines"], done["saves"], failures, time.time() - started))
    if driver:
        print("%d lines overran their budget and stopped at ESC" % STOPPED_BY_ESC[0])
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
