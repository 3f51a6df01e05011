#!/bin/sh
# The folder-tree search against ripgrep and against the floor (bench/search_floor.cpp: list the
# tree, then on two threads open each patch file, read the bytes the module needs, look for the
# key, close) on a tree of realistic patch files, for each of the five modules; warm cache and
# cold (the page cache dropped before each run, as root only); then the peak memory of patchlens
# and ripgrep on that tree and on a larger one. Timed with hyperfine; prints one table of medians.
#
#   bench/search_bench.sh                     # uses build/default/src/app/patchlens
#   PATCHLENS=build/search/src/app/patchlens bench/search_bench.sh
#
# Settings (environment): PATCHLENS (the program), FLOOR (the floor program), TREE (where the tree
# is written, default build/search-bench-tree), COUNT (patch files, default 20000), ROUNDS (warm
# rounds, default 15), COLD_ROUNDS (cold rounds, default 5; 0 skips them), MEMORY_COUNT (patch
# files of the second tree whose peak memory is measured, default 100000, about 3.6 GB; 0 skips
# it). In each round every command runs once for each module, one after the other, so that
# another program slowing the machine for a while slows all three alike.
# Installs hyperfine, ripgrep and time with apt-get (sudo when not root) when they are missing.
set -eu

cd "$(dirname "$0")/.."
PATCHLENS=${PATCHLENS:-build/default/src/app/patchlens}
FLOOR=${FLOOR:-$(dirname "$(dirname "$(dirname "$PATCHLENS")")")/bench/search_floor}
TREE=${TREE:-build/search-bench-tree}
COUNT=${COUNT:-20000}
ROUNDS=${ROUNDS:-15}
COLD_ROUNDS=${COLD_ROUNDS:-5}
MEMORY_COUNT=${MEMORY_COUNT:-100000}
OUT=build/search-bench
MODULES="Compressor Distortion Chorus/Fx Delay Reverb"

tools/install-debian-packages.sh hyperfine ripgrep python3 time

for program in "$PATCHLENS" "$FLOOR"; do
    if [ ! -x "$program" ]; then
        echo "$program not found: build it first (make build, or set PATCHLENS and FLOOR)" >&2
        exit 1
    fi
done

mkdir -p "$OUT"
rm -f "$OUT"/*.json "$OUT"/*.rss
python3 bench/make_search_tree.py "$TREE" --count "$COUNT"

# What the tree's stamp knows of a module: model, matching, enable, needed.
fact() {
    python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["modules"][sys.argv[2]][sys.argv[3]])' \
        "$1/.search-tree.json" "$2" "$3"
}
# The bytes the floor reads: the module's two records, rounded up to whole 4 KB pages.
floor_bytes() {
    echo $((($(fact "$TREE" "$1" needed) + 4095) / 4096 * 4096))
}
file_name() {
    echo "$1" | tr -c 'A-Za-z0-9\n' '-'
}

# Each command must do the work it is timed for: patchlens lists every matching patch, ripgrep and
# the floor every patch file holding the module's enable record.
for module in $MODULES; do
    model=$(fact "$TREE" "$module" model)
    key="<ID>$(fact "$TREE" "$module" enable)</ID>"
    expected=$(fact "$TREE" "$module" matching)
    found=$("$PATCHLENS" --search "$TREE" --module "$module" --model "$model" 2>/dev/null | wc -l)
    if [ "$found" -ne "$expected" ]; then
        echo "$module $model: patchlens listed $found patches, the tree holds $expected matching ones" >&2
        exit 1
    fi
    echo "$module $model: patchlens lists $found matching patches; ripgrep $(rg -l -F "$key" "$TREE" | wc -l)" \
        "and the floor $("$FLOOR" "$TREE" "$key" "$(floor_bytes "$module")") files hold $key"
done

time_module() { # mode, round, module, hyperfine options...
    mode=$1
    round=$2
    module=$3
    shift 3
    model=$(fact "$TREE" "$module" model)
    key="<ID>$(fact "$TREE" "$module" enable)</ID>"
    hyperfine -N --style none "$@" --export-json "$OUT/$mode-$(file_name "$module")-$round.json" \
        -n patchlens "$PATCHLENS --search $TREE --module $module --model '$model'" \
        -n ripgrep "rg -l -F '$key' $TREE" \
        -n floor "$FLOOR $TREE '$key' $(floor_bytes "$module")"
}

# The checks above have read every file: the cache is warm.
round=1
while [ "$round" -le "$ROUNDS" ]; do
    echo "warm round $round of $ROUNDS"
    for module in $MODULES; do
        time_module warm "$round" "$module" --runs 1
    done
    round=$((round + 1))
done
if [ "$COLD_ROUNDS" -gt 0 ] && [ "$(id -u)" -ne 0 ]; then
    echo "not root: the page cache cannot be dropped, so the cold runs are skipped" >&2
    COLD_ROUNDS=0
fi
round=1
while [ "$round" -le "$COLD_ROUNDS" ]; do
    echo "cold round $round of $COLD_ROUNDS"
    for module in $MODULES; do
        time_module cold "$round" "$module" --runs 1 --prepare 'sh -c "sync; echo 3 > /proc/sys/vm/drop_caches"'
    done
    round=$((round + 1))
done

# Peak resident memory (GNU time) of the Distortion search, warm: after one run unmeasured.
peak() { # name, command...
    name=$1
    shift
    "$@" >/dev/null 2>&1
    /usr/bin/time -f %M -o "$OUT/$name.rss" "$@" >/dev/null 2>&1
}
measure_memory() { # tree, label
    peak "patchlens-$2" "$PATCHLENS" --search "$1" --module Distortion --model Screamer
    peak "ripgrep-$2" rg -l -F '<ID>2433</ID>' "$1"
}
measure_memory "$TREE" "$COUNT"
if [ "$MEMORY_COUNT" -gt 0 ] && [ "$MEMORY_COUNT" -ne "$COUNT" ]; then
    python3 bench/make_search_tree.py "$TREE-$MEMORY_COUNT" --count "$MEMORY_COUNT"
    measure_memory "$TREE-$MEMORY_COUNT" "$MEMORY_COUNT"
fi

python3 - "$OUT" "$MODULES" <<'EOF'
import glob, json, os, statistics, sys
out, modules = sys.argv[1], sys.argv[2].split()

# Medians of every run of every round: the machine may be shared, and a run that another program
# slowed down says nothing of the search.
def median(mode, module):
    times = {}
    name = ''.join(c if c.isalnum() else '-' for c in module)
    for path in glob.glob(os.path.join(out, f"{mode}-{name}-*.json")):
        for result in json.load(open(path))["results"]:
            times.setdefault(result["command"], []).extend(result["times"])
    return {command: statistics.median(runs) * 1000 for command, runs in times.items()} or None

print()
print("| module | cache | patchlens ms | ripgrep ms | floor ms | patchlens / ripgrep | patchlens / floor |")
print("|---|---|---|---|---|---|---|")
for mode in ("warm", "cold"):
    for module in modules:
        t = median(mode, module)
        if t is None:
            continue
        print(f"| {module} | {mode} | {t['patchlens']:.1f} | {t['ripgrep']:.1f} | {t['floor']:.1f} | "
              f"{t['patchlens'] / t['ripgrep']:.2f} | {t['patchlens'] / t['floor']:.2f} |")
print()
print("| tree | patchlens peak memory | ripgrep peak memory | ratio |")
print("|---|---|---|---|")
for rss in sorted(glob.glob(os.path.join(out, "patchlens-*.rss")), key=lambda p: int(p.split("-")[-1][:-4])):
    count = rss.split("-")[-1][:-4]
    ours = int(open(rss).read().split()[-1])
    theirs = int(open(os.path.join(out, f"ripgrep-{count}.rss")).read().split()[-1])
    print(f"| {int(count):,} patch files | {ours / 1024:.1f} MB | {theirs / 1024:.1f} MB | {ours / theirs:.2f} |")
print()
print("Wanted: warm at most 1.2 x the floor and at most 1.0 x ripgrep; cold at most 0.6 x ripgrep;")
print("peak memory at most 2 x ripgrep's.")
EOF
