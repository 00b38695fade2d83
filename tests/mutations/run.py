#!/usr/bin/env python3
"""Applies each hand-made fault of mutations.txt in turn, rebuilds the test programs of the
default preset incrementally, runs them and records whether the suite catches the fault.

Usage: tests/mutations/run.py [--full] LABEL [ID ...]   writes tests/mutations/results-LABEL.txt
       tests/mutations/run.py --check                   only checks that every anchor is unique

Each fault meets the test programs its block lists (those that could catch it); with --full the
other programs are built and run too when those pass, so a missed fault has met the whole suite.
The mutated file is restored after each fault, also on an interrupt; a run that was killed
outright is repaired at the start of the next one. The results file is rewritten after each
fault. With a results-baseline.txt beside this script, a later run lists the faults caught then
but not now.
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
HERE = ROOT / "tests" / "mutations"
BUILD = ROOT / "build" / "default"
PENDING = ROOT / "build" / "mutation-pending.json"
TEST_TIMEOUT = 600
PROGRAMS = sorted(d.name for d in (ROOT / "tests").iterdir() if any(d.glob("*.cpp")))
TEST_ENV = dict(os.environ, LANGUAGE="", LC_ALL="", LC_MESSAGES="", LANG="C")


def load_mutations():
    blocks, block = [], {}
    for line in (HERE / "mutations.txt").read_text().splitlines() + [""]:
        if line.startswith("#"):
            continue
        if not line.strip():
            if block:
                blocks.append(block)
            block = {}
            continue
        key, _, value = line.partition(":")
        block[key] = value[1:] if value.startswith(" ") else value
    return blocks


def restore_pending():
    if PENDING.exists():
        pending = json.loads(PENDING.read_text())
        Path(pending["path"]).write_text(pending["original"])
        PENDING.unlink()
        print(f"restored {pending['path']} left mutated by an interrupted run")


def build(programs):
    targets = [f"test_{p}" for p in programs]
    done = subprocess.run(["cmake", "--build", "--preset", "default", "-j2", "--target", *targets],
                          cwd=ROOT, capture_output=True, text=True)
    return done.returncode == 0


def run_program(program):
    """None when the program passes, else what failed."""
    try:
        done = subprocess.run([str(BUILD / "tests" / f"test_{program}"), "--gtest_brief=1"],
                              cwd=BUILD / "tests", env=TEST_ENV, capture_output=True, text=True,
                              errors="replace", timeout=TEST_TIMEOUT)
    except subprocess.TimeoutExpired:
        return f"test_{program}: timeout"
    if done.returncode == 0:
        return None
    if done.returncode < 0:
        return f"test_{program}: signal {-done.returncode}"
    failed = [l[13:].split()[0].rstrip(",") for l in done.stdout.splitlines()
              if l.startswith("[  FAILED  ] ") and "." in l[13:].split()[0]]
    return f"test_{program}: {failed[0] if failed else 'exit ' + str(done.returncode)}"


def run_suite(first, full=True):
    """What catches the fault: the listed programs first, then (full) the rest."""
    rest = [p for p in PROGRAMS if p not in first] if full else []
    for group in (first, rest):
        if not group:
            continue
        if not build(group):
            return "nobuild", "the mutant does not compile"
        for program in group:
            failure = run_program(program)
            if failure:
                return "caught", failure
    passed = ",".join(f"test_{p}" for p in first)
    return "missed", f"passed {passed}" + (" and the rest" if rest else "")


def try_mutation(m, full):
    path = ROOT / m["file"]
    original = path.read_text() if path.exists() else ""
    if original.count(m["from"]) != 1:
        return "stale", "anchor not found exactly once"
    PENDING.write_text(json.dumps({"path": str(path), "original": original}))
    path.write_text(original.replace(m["from"], m["to"]))
    try:
        return run_suite([p for p in m["tests"].split(",") if p in PROGRAMS], full)
    finally:
        path.write_text(original)
        PENDING.unlink()


def write_results(label, commit, scope, rows):
    kinds = ("caught", "missed", "stale", "nobuild")
    counts = {s: sum(1 for r in rows if r[1] == s) for s in kinds}
    when = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())
    lines = [f"# mutation run '{label}' at commit {commit}, {when}; run against {scope}",
             "# " + ", ".join(f"{n} {s}" for s, n in counts.items()),
             *(f"{i:32} {s:8} {d:56} {f}" for i, s, d, f in rows)]
    (HERE / f"results-{label}.txt").write_text("\n".join(lines) + "\n")


def main(args):
    mutations = load_mutations()
    if args[:1] == ["--check"]:
        stale = [m["id"] for m in mutations
                 if (ROOT / m["file"]).read_text().count(m["from"]) != 1]
        print(f"{len(mutations)} mutations, stale: {' '.join(stale) or 'none'}")
        return 1 if stale else 0
    if not args:
        print(__doc__)
        return 2
    full = args[0] == "--full"
    args = args[1:] if full else args
    if not args or args[0].startswith("-"):
        print(__doc__)
        return 0 if args[:1] in (["-h"], ["--help"]) else 2
    label, only = args[0], set(args[1:])
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    if shutil.which("ccache"):
        os.environ.setdefault("CMAKE_CXX_COMPILER_LAUNCHER", "ccache")
    restore_pending()
    subprocess.run(["cmake", "--preset", "default"], cwd=ROOT, check=True, capture_output=True)
    status, detail = run_suite(PROGRAMS)
    if status != "missed":
        print(f"the unmutated suite does not pass ({status}: {detail}); nothing measured")
        return 1
    commit = subprocess.run(["git", "rev-parse", "--short", "HEAD"], cwd=ROOT, text=True,
                            capture_output=True).stdout.strip()
    rows = []
    scope = "every test program" if full else "the test programs each fault lists"
    for m in mutations:
        if only and m["id"] not in only:
            continue
        start = time.time()
        status, detail = try_mutation(m, full)
        rows.append((m["id"], status, detail, m["fault"]))
        print(f"{m['id']:32} {status:8} {detail}  ({time.time() - start:.0f} s)", flush=True)
        write_results(label, commit, scope, rows)
    build(PROGRAMS)  # the last mutant's objects must not stay in the build
    print((HERE / f"results-{label}.txt").read_text())
    baseline = HERE / "results-baseline.txt"
    if label != "baseline" and baseline.exists():
        before = {l.split()[0] for l in baseline.read_text().splitlines()
                  if not l.startswith("#") and l.split()[1] == "caught"}
        lost = [r[0] for r in rows if r[0] in before and r[1] != "caught"]
        print(f"caught in the baseline but not now: {' '.join(lost) or 'none'}")
        return 1 if lost else 0
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
