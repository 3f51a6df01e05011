#!/usr/bin/env python3
"""The collection's command line checked against an evaluation of its own.

Writes a collection of a few hundred patches (bench/make_search_tree.py: realistic patches in
nested folders, next to other files), adds copies renamed and edited (a knob changed, a module
switched off) and refused ones (a newer schema, a file too large for a patch), then takes what the
viewer shows of each file from `patchlens --dump --json FILE`, one file at a time, so that each is
decoded fresh. From those dumps and the rules of the filter, of duplicates and of variants,
written out here anew, it works out what `--list --json --where FILTER` and `--duplicates
[--variants]` must print, and compares.

    collection_check.py --program build/default/src/app/patchlens [--keep DIR]

Prints one line per check and "N passed, N failed" at the end; exits 1 when any check failed.
"""

import argparse
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing written beside the sources
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "bench"))
import make_search_tree  # noqa: E402  (value_line_span, with_value, with_name)

# The model record of the five modules the search offers: the filter matches a model there in the
# file's own value line too.
MODEL_IDS = {"Compressor": "207", "Distortion": "2432", "Chorus/Fx": "768", "Delay": "1856", "Reverb": "1920"}
# Knobs edited in the copies: (id, values).
KNOBS = [("1888", ["300 ms", "450 ms", "600 ms", "1.2 s"]),  # delay time
         ("1927", ["1.5 s", "2.5 s", "4.0 s"]),  # reverb decay
         ("2434", ["40", "60", "75"]),  # distortion drive
         ("2497", ["12", "30", "55"])]  # amplifier A gain
ENABLES = ["2433", "1857", "1921", "769"]  # distortion, delay, reverb, chorus/fx


# ---- The collection -----------------------------------------------------------------------------

def make_collection(tree, count, seed):
    subprocess.run([sys.executable, os.path.join(HERE, "..", "bench", "make_search_tree.py"), tree,
                    "--count", str(count), "--seed", str(seed)], check=True, stdout=subprocess.DEVNULL)
    os.remove(os.path.join(tree, make_search_tree.STAMP))
    patches = sorted(os.path.relpath(os.path.join(top, name), tree)
                     for top, _, names in os.walk(tree) for name in names if name.endswith(".rp350p"))
    rng = random.Random(seed)
    for index, relative in enumerate(rng.sample(patches, 60)):
        with open(os.path.join(tree, relative), "rb") as source:
            data = source.read()
        kind = index % 3
        if kind == 0:  # the same patch under another name, in another folder
            data = make_search_tree.with_name(data, f"Copy {index:02d}")
            target = os.path.join("Copies", f"copy {index:02d}.rp350p")
        elif kind == 1:  # one knob changed
            knob, values = rng.choice(KNOBS)
            data = make_search_tree.with_value(data, knob, rng.choice(values))
            target = os.path.join(os.path.dirname(relative), f"knob {index:02d}.rp350p")
        else:  # one module switched off
            data = make_search_tree.with_value(data, rng.choice(ENABLES), "Off")
            target = os.path.join("Copies", "off", f"off {index:02d}.RP350P")
        os.makedirs(os.path.join(tree, os.path.dirname(target)), exist_ok=True)
        with open(os.path.join(tree, target), "wb") as out:
            out.write(data)
    with open(os.path.join(tree, patches[0]), "rb") as source:
        newer = source.read().replace(b'SchemaVersion="1.2"', b'SchemaVersion="1.3"', 1)
    for name in ("newer.rp350p", os.path.join("Copies", "newer too.rp350p")):
        with open(os.path.join(tree, name), "wb") as out:
            out.write(newer)
    with open(os.path.join(tree, "Copies", "huge.rp350p"), "wb") as out:
        out.truncate(80 << 20)  # sparse: larger than any patch


def patch_files(tree):
    """Every patch file below the tree (names ending in .rp350p in any case), relative, '/'-separated."""
    found = []
    for top, _, names in os.walk(tree):
        for name in names:
            path = os.path.join(top, name)
            if name.lower().endswith(".rp350p") and os.path.isfile(path):
                found.append(os.path.relpath(path, tree).replace(os.sep, "/"))
    return found


def dump(program, tree, relative):
    """What the viewer shows of the file decoded fresh, or None for a refused or unreadable one."""
    run = subprocess.run([program, "--dump", "--json", os.path.join(tree, relative)], capture_output=True)
    record = json.loads(run.stdout)[0]
    if run.returncode != 0:
        return {"file": relative, "accepted": False, "name": "", "modules": {}}
    with open(os.path.join(tree, relative), "rb") as source:
        data = source.read()
    model_texts = {}
    for module, type_id in MODEL_IDS.items():
        try:
            start, end = make_search_tree.value_line_span(data, type_id)
            model_texts[module] = data[start:end].decode("latin-1").lower()
        except ValueError:
            model_texts[module] = ""
    modules = {m["module"]: {"on": m["on"], "enabled": m["enabled"], "lines": m["lines"],
                             "model": model_texts.get(m["module"], "")} for m in record["modules"]}
    return {"file": relative, "accepted": True, "name": record["name"], "modules": modules}


# ---- The filter's rules ---------------------------------------------------------------------------

NUMBER = re.compile(r"[+-]?(\d+(\.\d*)?|\.\d+)")
OFF = {"on": False, "enabled": True, "lines": [], "model": ""}  # a module of a refused file


def module(patch, name):
    return patch["modules"].get(name, OFF)


def is_on(name):
    return lambda p: module(p, name)["on"]


def is_off(name):
    return lambda p: not module(p, name)["on"]


def model(name, text):
    def holds(p):
        m = module(p, name)
        line = m["lines"][0].lower() if m["lines"] else ""
        return m["on"] and (text.lower() in line or text.lower() in m["model"])
    return holds


def compare(shown, op, value):
    if op == "~":
        return value.lower() in shown.lower()
    a, b = NUMBER.match(shown), NUMBER.match(value)
    if a and b:
        x, y = float(a.group(0)), float(b.group(0))
    else:
        x, y = shown.lower(), value.lower()
    return {"=": x == y, "!=": x != y, "<": x < y, "<=": x <= y, ">": x > y, ">=": x >= y}[op]


def shown_value(line):
    return (line.split("=", 1)[1] if "=" in line else line).strip()


def row(name, number, op, value):
    def holds(p):
        lines = module(p, name)["lines"]
        return number <= len(lines) and compare(shown_value(lines[number - 1]), op, value)
    return holds


def label(name, wanted, op, value):
    def holds(p):
        for line in module(p, name)["lines"]:
            if "=" in line and line.split("=", 1)[0].strip().rstrip("_ ").lower() == wanted.lower():
                return compare(shown_value(line), op, value)
        return False
    return holds


def name_has(text):
    return lambda p: text.lower() in p["name"].lower()


def file_has(text):
    return lambda p: text.lower() in p["file"].lower()


def every(*terms):
    return lambda p: all(term(p) for term in terms)


def either(*terms):
    return lambda p: any(term(p) for term in terms)


FILTERS = [
    ("Delay", is_on("Delay")),
    ("!Reverb", is_off("Reverb")),
    ("distortion=Screamer", model("Distortion", "Screamer")),
    ("Chorus/Fx=phaser", model("Chorus/Fx", "phaser")),
    ("amp_a=TWIN", model("Amplifier A", "twin")),
    ("Delay.2 >= 400", row("Delay", 2, ">=", "400")),
    ("Reverb.DECAY < 3", label("Reverb", "decay", "<", "3")),
    ("Distortion.DRIVE_>55 Distortion", every(label("Distortion", "drive", ">", "55"), is_on("Distortion"))),
    ("Chorus/Fx.1 ~ ph", row("Chorus/Fx", 1, "~", "ph")),
    ('"EQ A".BASS = 3', label("Equalizer A", "bass", "=", "3")),
    ("Expression.1 = nolink", row("Expression", 1, "=", "nolink")),
    ("AmpA.AMPGAN != 30", label("Amplifier A", "ampgan", "!=", "30")),
    ('name~"copy 1" or file~"Bank 01/"', either(name_has("copy 1"), file_has("Bank 01/"))),
    ("(Delay or Reverb) !Compressor name~patch", every(either(is_on("Delay"), is_on("Reverb")),
                                                        is_off("Compressor"), name_has("patch"))),
    ("Delay Delay.2 >= 500 or Distortion.DRIVE != 60 NoiseGate",
     either(every(is_on("Delay"), row("Delay", 2, ">=", "500")),
            every(label("Distortion", "drive", "!=", "60"), is_on("Noise Gate")))),
]


# ---- Duplicates and variants ------------------------------------------------------------------------

def sound(p):
    return tuple((m["on"], m["enabled"], tuple((m["lines"] + [""] * 6)[:1 if name == "Pickup" else 6]))
                 for name, m in sorted(p["modules"].items()))


def chain(p):
    return tuple((m["on"], m["lines"][0] if m["lines"] else "") for _, m in sorted(p["modules"].items()))


def groups(patches, key, variants):
    by_key = {}
    for p in patches:
        if p["accepted"]:
            by_key.setdefault(key(p), []).append(p)
    found = []
    for members in by_key.values():  # in the order of their first file
        if len(members) < 2 or (variants and len({sound(p) for p in members}) < 2):
            continue
        found.append([p["file"] for p in members])
    return found


# ---- The checks -------------------------------------------------------------------------------------

class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, what, ok, detail=""):
        if ok:
            self.passed += 1
            print(f"ok: {what}")
        else:
            self.failed += 1
            print(f"FAILED: {what} {detail}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--count", type=int, default=240)
    parser.add_argument("--seed", type=int, default=20)
    parser.add_argument("--keep", help="write the collection here and keep it")
    args = parser.parse_args()
    work = args.keep or tempfile.mkdtemp(prefix="patchlens-collection-check-")
    tree = os.path.join(work, "tree")
    checks = Checks()
    try:
        if os.path.exists(tree):
            shutil.rmtree(tree)
        make_collection(tree, args.count, args.seed)
        files = patch_files(tree)
        patches = {relative: dump(args.program, tree, relative) for relative in files}

        def run(*options):
            done = subprocess.run([args.program, *options], capture_output=True)
            return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")

        # The whole listing: every patch file once, each as its dump shows it; the refused ones with
        # their reason and on stderr. Its order is the scan's, which the groups follow.
        status, out, err = run("--list", tree, "--recursive", "--json")
        rows = json.loads(out)
        order = [r["file"] for r in rows]
        checks.check("--list lists every patch file once", status == 0 and sorted(order) == sorted(files),
                     f"status {status}, {len(order)} rows for {len(files)} files")
        differing = [r["file"] for r in rows if r["refused"] == patches[r["file"]]["accepted"] or
                     (not r["refused"] and (r["name"] != patches[r["file"]]["name"] or any(
                         {k: m[k] for k in ("on", "enabled", "lines")} !=
                         {k: patches[r["file"]]["modules"][m["module"]][k] for k in ("on", "enabled", "lines")}
                         for m in r["modules"])))]
        checks.check("--list shows each file as --dump shows it", not differing, differing[:5])
        refused = sorted(f for f, p in patches.items() if not p["accepted"])
        checks.check("the refused files are listed with a reason and named on stderr",
                     len(refused) == 3 and all(r["reason"] for r in rows if r["refused"]) and
                     all(os.path.join(tree, f) in err for f in refused), err)
        ordered = [patches[f] for f in order]

        for text, holds in FILTERS:
            status, out, err = run("--list", tree, "--recursive", "--json", "--where", text)
            listed = [r["file"] for r in json.loads(out)] if status == 0 else None
            expected = [p["file"] for p in ordered if holds(p)]
            checks.check(f"--where {text!r}: {len(expected)} patches", listed == expected,
                         f"status {status}; only listed: {sorted(set(listed or []) - set(expected))[:5]}; "
                         f"only expected: {sorted(set(expected) - set(listed or []))[:5]}")
        status, out, _ = run("--search", tree, "--module", "Distortion", "--model", "Screamer")
        searched = sorted(os.path.relpath(line, tree) for line in out.splitlines())
        screamer = sorted(p["file"] for p in ordered if p["accepted"] and model("Distortion", "Screamer")(p))
        checks.check("--where Distortion=Screamer finds what --search finds", searched == screamer)

        for variants in (False, True):
            options = ["--duplicates", tree, "--recursive"] + (["--variants"] if variants else [])
            status, out, _ = run(*options)
            printed = [[os.path.relpath(line, tree).replace(os.sep, "/") for line in group.splitlines()]
                       for group in out.split("\n\n") if group.strip()]
            expected = groups(ordered, chain if variants else sound, variants)
            checks.check(f"{' '.join(options[:1] + options[3:])}: {len(expected)} groups",
                         status == 0 and printed == expected and len(expected) > 3,
                         f"status {status}, printed {len(printed)} groups")
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
