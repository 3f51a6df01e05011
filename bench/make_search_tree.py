#!/usr/bin/env python3
"""Writes a folder tree of realistic patch files for the search benchmark.

Every patch is a copy of one of the bundled samples (about 36 KB, CR LF lines) with its name and
the enable and model of each searchable module changed, so that some patches match a search and
others do not. The patches lie in nested folders, three levels deep, next to a few files of other
kinds. The tree is the same for the same arguments.

    make_search_tree.py TREE [--count N] [--samples DIR] [--seed S]

Prints one line: the number of patch files and of other files. TREE/.search-tree.json keeps, for
each module of MODULES, the model searched for, how many patches `patchlens --search TREE --module
MODULE --model MODEL` lists, and how many bytes from the start of a patch hold both of the
module's records in every patch ("needed").
"""

import argparse
import json
import os
import random
import shutil
import sys

# module: enable id, type id, the model searched for, the models a patch may have
MODULES = {
    "Compressor": ("193", "207", "Dyna Comp", ["Digi Comp", "CS Comp", "Dyna Comp"]),
    "Distortion": ("2433", "2432", "Screamer", [
        "Screamer", "808", "Spark", "Guy OD", "DOD 250", "Rodent", "MX Dist", "DS Dist", "Grunge",
        "Zone", "Death", "Gonk", "8tavia", "Fuzzulator", "Classic Fuzz", "Fuzzy", "Big MP"]),
    "Chorus/Fx": ("769", "768", "Phaser", [
        "CE Chorus", "Flanger", "Phaser", "Trig Phaser", "MXR Phaser", "Vibrato", "Rotary",
        "Tremolo", "Envelope", "Whammy", "Octaver"]),
    "Delay": ("1857", "1856", "Tape", ["Analog", "DM-2", "Digital", "Modulated", "Pong", "Tape",
                                        "EchoPlex"]),
    "Reverb": ("1921", "1920", "Lexicon Hall", [
        "Twin Reverb", "Lexicon Ambience", "Lexicon Studio", "Lexicon Room", "Lexicon Hall",
        "EMT240 Plate"]),
}
STAMP = ".search-tree.json"


def value_line_span(data: bytes, parameter_id: str):
    """Where the value line (the fifth line from the first record of the id) begins and ends."""
    at = data.find(b"<ID>" + parameter_id.encode() + b"</ID>")
    if at < 0:
        raise ValueError(f"sample lacks parameter {parameter_id}")
    for _ in range(4):
        at = data.index(b"\r\n", at) + 2
    return at, data.index(b"\r\n", at)


def with_value(data: bytes, parameter_id: str, value: str) -> bytes:
    start, end = value_line_span(data, parameter_id)
    line = data[start:end]
    indent = line[: len(line) - len(line.lstrip(b" \t"))]
    return data[:start] + indent + b"<Text>" + value.encode() + b"</Text>" + data[end:]


def matches(data: bytes, enable_id: str, type_id: str, model: str) -> bool:
    """The search's rule: the fifth line from the first record of each id holds "On", the model."""
    for parameter_id, needle in ((enable_id, "On"), (type_id, model)):
        start, end = value_line_span(data, parameter_id)
        if needle.encode() not in data[start:end]:
            return False
    return True


def with_name(data: bytes, name: str) -> bytes:
    start = data.index(b"<Name>")
    end = data.index(b"</Name>", start)
    return data[: start + 6] + name.encode() + data[end:]


def main() -> int:
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tree")
    parser.add_argument("--count", type=int, default=20000, help="patch files (default 20000)")
    parser.add_argument("--samples", default=os.path.join(here, "..", "samples"))
    parser.add_argument("--seed", type=int, default=350)
    args = parser.parse_args()

    wanted = {"count": args.count, "seed": args.seed, "version": 2}
    stamp_path = os.path.join(args.tree, STAMP)
    if os.path.exists(stamp_path):
        with open(stamp_path) as stamp:
            kept = json.load(stamp)
        if {k: kept.get(k) for k in wanted} == wanted:
            print(kept["summary"])
            return 0
    if os.path.exists(args.tree):
        shutil.rmtree(args.tree)

    samples = []
    for name in sorted(os.listdir(args.samples)):
        if name.endswith(".rp350p"):
            with open(os.path.join(args.samples, name), "rb") as sample:
                samples.append(sample.read())
    if not samples:
        print(f"no .rp350p samples in {args.samples}", file=sys.stderr)
        return 1

    rng = random.Random(args.seed)
    # Three levels: banks, sets, takes; the patches are spread over all of them, most at the
    # deepest level, as a collection sorted by hand would be.
    folders = [""]
    for bank in range(20):
        bank_path = f"Bank {bank:02d}"
        folders.append(bank_path)
        for group in range(5):
            set_path = os.path.join(bank_path, f"Set {group}")
            folders.append(set_path)
            for take in range(4):
                folders.append(os.path.join(set_path, f"take-{take}"))
    expected = {module: {"model": searched, "enable": enable_id, "matching": 0, "needed": 0}
                for module, (enable_id, _, searched, _) in MODULES.items()}
    others = 0
    for index in range(args.count):
        data = rng.choice(samples)
        # Each module on in three patches out of five, with the model searched for in about a
        # third of them.
        chosen = {}
        for module, (enable_id, type_id, searched, models) in MODULES.items():
            chosen[module] = searched if rng.random() < 0.3 else rng.choice(models)
            data = with_value(data, enable_id, "On" if rng.random() < 0.6 else "Off")
            data = with_value(data, type_id, chosen[module])
        data = with_name(data, f"Patch {index:05d}")
        for module, (enable_id, type_id, searched, _) in MODULES.items():
            found = expected[module]
            found["matching"] += matches(data, enable_id, type_id, searched)
            last = max(value_line_span(data, enable_id)[1], value_line_span(data, type_id)[1]) + 2
            found["needed"] = max(found["needed"], last)
        # Most patches lie at the deepest level.
        folder = rng.choice(folders) if rng.random() < 0.2 else rng.choice(folders[-400:])
        path = os.path.join(args.tree, folder, f"Patch {index:05d} {chosen['Distortion']}.rp350p")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
    # Files of other kinds: notes, recordings, patches under a name the search does not take.
    for index, folder in enumerate(folders):
        if index % 3:
            continue
        base = os.path.join(args.tree, folder)
        os.makedirs(base, exist_ok=True)
        with open(os.path.join(base, "notes.txt"), "wb") as out:
            out.write(b"Set list and tunings\r\n" * 40)
        with open(os.path.join(base, "take.wav"), "wb") as out:
            out.write(bytes(rng.getrandbits(8) for _ in range(4096)))
        with open(os.path.join(base, "LOUD.RP350P"), "wb") as out:
            out.write(samples[0])
        others += 3

    summary = f"{args.count} patch files, {others} other files"
    with open(stamp_path, "w") as stamp:
        json.dump(dict(wanted, summary=summary, modules=expected), stamp)
    print(summary)
    return 0


if __name__ == "__main__":
    sys.exit(main())
