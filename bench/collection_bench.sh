#!/bin/sh
# The collection listing (`patchlens --list TREE --recursive --csv`) against its floor, warm, and
# against ripgrep, cold, on the tree of realistic patch files the search benchmark uses; then its
# peak memory on that tree and on a larger one. The floor is bench/collection_floor: the time to
# list the tree and read every patch file whole on two threads (timed by hyperfine beside patchlens),
# plus the time it takes to decode as many patches fresh on two threads (timed inside it, in the
# same rounds). Prints the medians, each target and whether it is met.
#
#   bench/collection_bench.sh                     # uses build/default/src/app/patchlens
#   PATCHLENS=build/other/src/app/patchlens bench/collection_bench.sh
#
# Settings (environment): PATCHLENS (the program), FLOOR (the floor program), TREE (where the tree
# is, default build/search-bench-tree, written when missing), COUNT (patch files, default 20000),
# ROUNDS (warm rounds, default 10), COLD_ROUNDS (cold rounds, default 5; 0 skips them; they need
# root to drop the page cache), MEMORY_COUNT (patch files of the tree whose peak memory is measured
# too, default 100000, about 3.6 GB; 0 skips it). In each round the commands run once each, one
# after the other, so that another program slowing the machine for a while slows them alike.
# Installs hyperfine, ripgrep and time with apt-get (sudo when not root) when they are missing.
set -eu

cd "$(dirname "$0")/.."
PATCHLENS=${PATCHLENS:-build/default/src/app/patchlens}
FLOOR=${FLOOR:-$(dirname "$(dirname "$(dirname "$PATCHLENS")")")/bench/collection_floor}
TREE=${TREE:-build/search-bench-tree}
COUNT=${COUNT:-20000}
ROUNDS=${ROUNDS:-10}
COLD_ROUNDS=${COLD_ROUNDS:-5}
MEMORY_COUNT=${MEMORY_COUNT:-100000}
OUT=build/collection-bench
KEY='<ID>2433</ID>'

tools/install-debian-packages.sh hyperfine ripgrep python3 time

for program in "$PATCHLENS" "$FLOOR"; do
    if [ ! -x "$program" ]; then
        echo "$program not found: build it first (make build, or set PATCHLENS and FLOOR)" >&2
        exit 1
    fi
done

mkdir -p "$OUT"
rm -f "$OUT"/*.json "$OUT"/*.rss "$OUT"/*.decode
python3 bench/make_search_tree.py "$TREE" --count "$COUNT"

# Each command must do the work it is timed for: patchlens lists every patch file, the floor reads
# every one, ripgrep reads them all.
rows=$("$PATCHLENS" --list "$TREE" --recursive --csv 2>/dev/null |
    python3 -c 'import csv, sys; print(sum(1 for _ in csv.reader(sys.stdin)) - 1)')
read_files=$("$FLOOR" "$TREE" | cut -d' ' -f1)
if [ "$rows" -ne "$read_files" ]; then
    echo "patchlens listed $rows patch files, the floor read $read_files" >&2
    exit 1
fi
echo "patchlens lists $rows patch files; the floor reads $read_files; ripgrep finds $KEY in" \
    "$(rg -l -F "$KEY" "$TREE" | wc -l) files; $("$FLOOR" --decode "$TREE")"

# The checks above have read every file: the cache is warm.
round=1
while [ "$round" -le "$ROUNDS" ]; do
    echo "warm round $round of $ROUNDS"
    hyperfine -N --style none --runs 1 --export-json "$OUT/warm-$round.json" \
        -n patchlens "$PATCHLENS --list $TREE --recursive --csv" \
        -n floor "$FLOOR $TREE"
    "$FLOOR" --decode "$TREE" | cut -d' ' -f1 > "$OUT/$round.decode"
    round=$((round + 1))
done
if [ "$COLD_ROUNDS" -gt 0 ] && [ "$(id -u)" -ne 0 ]; then
    echo "not root: the page cache cannot be dropped, so the cold runs are skipped" >&2
    COLD_ROUNDS=0
fi
round=1
while [ "$round" -le "$COLD_ROUNDS" ]; do
    echo "cold round $round of $COLD_ROUNDS"
    hyperfine -N --style none --runs 1 --export-json "$OUT/cold-$round.json" \
        --prepare 'sh -c "sync; echo 3 > /proc/sys/vm/drop_caches"' \
        -n patchlens "$PATCHLENS --list $TREE --recursive --csv" \
        -n ripgrep "rg -l -F '$KEY' $TREE"
    round=$((round + 1))
done

# Peak resident memory (GNU time) of the listing, warm: after one run unmeasured.
peak() { # tree, count
    "$PATCHLENS" --list "$1" --recursive --csv >/dev/null 2>&1
    /usr/bin/time -f %M -o "$OUT/patchlens-$2.rss" "$PATCHLENS" --list "$1" --recursive --csv >/dev/null 2>&1
}
peak "$TREE" "$COUNT"
if [ "$MEMORY_COUNT" -gt 0 ] && [ "$MEMORY_COUNT" -ne "$COUNT" ]; then
    python3 bench/make_search_tree.py "$TREE-$MEMORY_COUNT" --count "$MEMORY_COUNT"
    peak "$TREE-$MEMORY_COUNT" "$MEMORY_COUNT"
fi

python3 - "$OUT" <<'EOF'
import glob, json, os, statistics, sys
out = sys.argv[1]

# Medians of every round: the machine may be shared, and a run that another program slowed down
# says nothing of the listing.
def medians(mode):
    times = {}
    for path in glob.glob(os.path.join(out, f"{mode}-*.json")):
        for result in json.load(open(path))["results"]:
            times.setdefault(result["command"], []).extend(result["times"])
    return {command: statistics.median(runs) * 1000 for command, runs in times.items()}

verdicts = []
def target(what, value, limit, unit=""):
    met = value <= limit
    verdicts.append(met)
    print(f"{what}: {value:.2f}{unit}, wanted at most {limit}{unit}: {'met' if met else 'NOT met'}")

warm = medians("warm")
decode = statistics.median(float(open(p).read()) for p in glob.glob(os.path.join(out, "*.decode")))
floor = warm["floor"] + decode
print()
print("| cache | patchlens ms | floor: read ms | floor: decode ms | floor ms | ripgrep ms | patchlens / floor | patchlens / ripgrep |")
print("|---|---|---|---|---|---|---|---|")
print(f"| warm | {warm['patchlens']:.0f} | {warm['floor']:.0f} | {decode:.0f} | {floor:.0f} | | {warm['patchlens'] / floor:.2f} | |")
cold = medians("cold")
if cold:
    print(f"| cold | {cold['patchlens']:.0f} | | | | {cold['ripgrep']:.0f} | | {cold['patchlens'] / cold['ripgrep']:.2f} |")
print()
print("| tree | patchlens --list peak memory |")
print("|---|---|")
peaks = {}
for rss in sorted(glob.glob(os.path.join(out, "patchlens-*.rss")), key=lambda p: int(p.split("-")[-1][:-4])):
    count = int(rss.split("-")[-1][:-4])
    peaks[count] = int(open(rss).read().split()[-1]) / 1024
    print(f"| {count:,} patch files | {peaks[count]:.1f} MB |")
print()
target("warm, patchlens / floor", warm["patchlens"] / floor, 1.3)
if cold:
    target("cold, patchlens / ripgrep", cold["patchlens"] / cold["ripgrep"], 0.6)
else:
    print("cold: not measured")
for count, mb in peaks.items():
    if count >= 100000:
        target(f"peak memory over {count:,} patch files", mb, 50, " MB")
if max(peaks, default=0) < 100000:
    print("peak memory over 100,000 patch files: not measured")
print("every target met" if all(verdicts) else "some target NOT met")
EOF
