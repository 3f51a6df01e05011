#!/usr/bin/env python3
"""Plants small faults in a copy of the sources, one at a time, and tells which of them the test
suite catches. A fault is caught when the build still succeeds and at least one test fails.

    tools/plant_faults.py                 every fault; prints a line per fault and the total
    tools/plant_faults.py --list          the faults, without running anything
    tools/plant_faults.py --check         whether every fault still applies to the working tree
    tools/plant_faults.py --only ID ...   just these faults

The copy lives in build/plant-faults (sources and a build of their own), so the working tree and
its builds are never touched. Each fault names the function (or table) it lives `within` and a piece
of text that must occur exactly once inside it, compared without whitespace, so that reformatting
and moving code about leave it found (a function moved to another file is looked for in every
source file); a fault whose text is gone is reported, not skipped silently. Slow by nature: every fault
means an incremental build and a run of the whole suite (about a minute each on two cores). The
tests that caught each fault are written to build/plant-faults/catchers.txt.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "plant-faults")
SOURCE = os.path.join(WORK, "source")
BUILD = os.path.join(WORK, "build")

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from planted_faults import FAULTS  # noqa: E402  (the list lives beside this script)


def copy_sources():
    """A fresh copy of the tracked and new files of the working tree."""
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT, check=True,
                           stdout=subprocess.PIPE).stdout.split(b"\0")
    if os.path.isdir(SOURCE):
        shutil.rmtree(SOURCE)
    for name in files:
        if not name:
            continue
        source = os.path.join(ROOT, name.decode())
        if not os.path.isfile(source):
            continue
        target = os.path.join(SOURCE, name.decode())
        os.makedirs(os.path.dirname(target), exist_ok=True)
        # A fresh modification time: a build left from an earlier run must not take its objects
        # (built perhaps from a planted fault) for newer than these sources.
        shutil.copy(source, target)


def run(command, log):
    with open(log, "ab") as out:
        return subprocess.run(command, cwd=SOURCE, stdout=out, stderr=subprocess.STDOUT).returncode


def build(log):
    return run(["cmake", "--build", BUILD], log) == 0


def failing_tests(log):
    """The names of the tests that fail (all of them run), or None when none fails."""
    failed_log = os.path.join(BUILD, "Testing", "Temporary", "LastTestsFailed.log")
    if os.path.exists(failed_log):
        os.remove(failed_log)
    if run(["ctest", "--test-dir", BUILD, "-j2", "--timeout", "180"], log) == 0:
        return None
    if not os.path.exists(failed_log):
        return ["?"]
    return [line.split(":", 1)[1].strip() for line in open(failed_log) if ":" in line]


KEYWORDS = {"if", "for", "while", "switch", "catch", "return", "sizeof", "decltype", "alignof",
            "static_assert", "defined", "alignas", "noexcept", "else", "do", "try", "namespace"}
# What may stand between a function's parameter list and its body: qualifiers, a trailing return
# type, a constructor's initialiser list.
QUALIFIERS = re.compile(r"\s*(?:(?:const|noexcept|override|final|volatile)\b\s*)*(?:->[^;{}()]*)?(?::[^;{}]*)?\{")
TABLE = re.compile(r"\s*(?:\[[\w\s]*\])?\s*=?\s*\{")


def closing(text, start, opening, closer):
    """The index just behind the bracket that closes the one at `start`."""
    depth = 0
    for i in range(start, len(text)):
        if text[i] == opening:
            depth += 1
        elif text[i] == closer:
            depth -= 1
            if depth == 0:
                return i + 1
    return len(text)


def definitions(text):
    """(name, body start, body end) of every function, table or type defined in the text: a name and
    its parameter list followed by a body, or a name followed by (an array size,) '=' and braces."""
    found = []
    for m in re.finditer(r"\b([A-Za-z_]\w*)\s*([({\[=])", text):
        name = m.group(1)
        if name in KEYWORDS:
            continue
        if m.group(2) == "(":
            after = closing(text, m.end() - 1, "(", ")")
            body = QUALIFIERS.match(text, after)
        else:
            body = TABLE.match(text, m.end(1))
        if body:
            found.append((name, body.end() - 1, closing(text, body.end() - 1, "{", "}")))
    return found


def squeeze(text, start=0, end=None):
    """The text between start and end without its whitespace, and where each kept character was."""
    end = len(text) if end is None else end
    where = [i for i in range(start, end) if not text[i].isspace()]
    return "".join(text[i] for i in where), where


def occurrences(text, old, scopes):
    """The (start, end) spans in `text` of `old` inside the scopes, comparing without whitespace, so
    that reformatting, rewrapping and reindenting leave a fault's text found."""
    needle = squeeze(old)[0]
    spans = set()
    for start, end in scopes:
        hay, where = squeeze(text, start, end)
        at = hay.find(needle)
        while at != -1:
            spans.add((where[at], where[at + len(needle) - 1] + 1))
            at = hay.find(needle, at + 1)
    return sorted(spans)


def source_files(root):
    for folder, _, names in os.walk(os.path.join(root, "src")):
        for name in sorted(names):
            if name.endswith((".cpp", ".h")):
                yield os.path.relpath(os.path.join(folder, name), root)


def locate(fault, root):
    """Where the fault's text is: (file, start, end), or the reason it cannot be planted. A fault
    names the function (or table) its text lives `within`; it is looked for in the fault's file
    first and, should the function have moved, in every source file."""
    within = fault.get("within")
    candidates = [fault["file"]] + [f for f in source_files(root) if within and f != fault["file"]]
    for file in candidates:
        path = os.path.join(root, file)
        if not os.path.isfile(path):
            continue
        text = open(path, encoding="utf-8").read()
        scopes = [(s, e) for n, s, e in definitions(text) if n == within] if within else [(0, len(text))]
        if not scopes:
            continue
        spans = occurrences(text, fault["old"], scopes)
        if len(spans) == 1:
            return file, spans[0][0], spans[0][1]
        where = f"{within} in {file}" if within else file
        return f"its text occurs {len(spans)} times in {where}"
    return f"{within} is not defined in {fault['file']} nor elsewhere in src" if within else f"{fault['file']} is gone"


def check_applies(fault, root=None):
    found = locate(fault, root or SOURCE)
    return found if isinstance(found, str) else None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--check", action="store_true", help="check that every fault applies, build nothing")
    parser.add_argument("--only", nargs="+", metavar="ID", help="plant only these faults")
    options = parser.parse_args()

    faults = [f for f in FAULTS if not options.only or f["id"] in options.only]
    if options.list:
        for fault in FAULTS:
            print(f"{fault['id']:<28} {fault['file']:<44} {fault['what']}")
        print(f"{len(FAULTS)} faults in {len({os.path.dirname(f['file']) for f in FAULTS})} folders")
        return 0

    if options.check:
        problems = [(f["id"], check_applies(f, ROOT)) for f in faults]
        for fault_id, problem in problems:
            if problem:
                print(f"{fault_id}: {problem}")
        ids = [f["id"] for f in FAULTS]
        for fault_id in {i for i in ids if ids.count(i) > 1}:
            print(f"{fault_id}: the name is used twice")
        bad = sum(1 for _, p in problems if p)
        print(f"{len(faults) - bad} of {len(faults)} faults apply")
        return 0 if bad == 0 else 1

    os.makedirs(WORK, exist_ok=True)
    log = os.path.join(WORK, "log.txt")
    open(log, "w").close()
    copy_sources()
    print(f"building the copy in {BUILD} (log: {log})", flush=True)
    configure = ["cmake", "-S", SOURCE, "-B", BUILD, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                 "-DPATCHLENS_BENCHMARKS=OFF"]
    if run(configure, log) != 0 or not build(log):
        print("the unchanged copy does not build", file=sys.stderr)
        return 1
    if failing_tests(log) is not None:
        print("the unchanged copy fails its tests: nothing can be measured", file=sys.stderr)
        return 1

    caught = missed = broken = 0
    catchers = {}  # fault -> the tests that caught it
    for fault in faults:
        found = locate(fault, SOURCE)
        if isinstance(found, str):
            print(f"{fault['id']:<28} NOT PLANTED  {found}", flush=True)
            broken += 1
            continue
        file, start, end = found
        path = os.path.join(SOURCE, file)
        original = open(path, encoding="utf-8").read()
        started = time.monotonic()
        try:
            with open(path, "w", encoding="utf-8") as out:
                out.write(original[:start] + fault["new"] + original[end:])
            with open(log, "a") as out:
                out.write(f"\n==== {fault['id']}\n")
            failed = None
            if not build(log):
                verdict = "NOT PLANTED  it does not build"
                broken += 1
            elif (failed := failing_tests(log)) is not None:
                verdict = "caught"
                caught += 1
                catchers[fault["id"]] = failed
            else:
                verdict = "MISSED"
                missed += 1
        finally:
            with open(path, "w", encoding="utf-8") as out:
                out.write(original)
            os.utime(path)  # newer than the build, so the next build takes the original again
        print(f"{fault['id']:<28} {verdict:<12} {time.monotonic() - started:5.0f} s  {fault['what']}", flush=True)

    planted = caught + missed
    print(f"\n{caught} of {planted} planted faults caught ({missed} missed, {broken} not planted)")
    # Which tests caught what: a test that alone catches a fault must stay.
    with open(os.path.join(WORK, "catchers.txt"), "w") as out:
        for fault_id, tests in catchers.items():
            out.write(f"{fault_id}: {' '.join(tests)}\n")
    alone = sorted({tests[0] for tests in catchers.values() if len(tests) == 1})
    print(f"tests that alone catch a fault: {', '.join(alone) if alone else 'none'}")
    print(f"(the tests that caught each fault: {os.path.join(WORK, 'catchers.txt')})")
    return 0 if broken == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
