#!/bin/sh
# The folder-tree search against ripgrep on the same tree: 20,000 realistic patch files in nested
# folders, warm cache, timed with hyperfine.
#
#   bench/search_bench.sh                     # uses build/default/src/app/patchlens
#   PATCHLENS=build/search/src/app/patchlens bench/search_bench.sh
#
# Settings (environment): PATCHLENS (the program), TREE (where the tree is written, default
# build/search-bench-tree), COUNT (patch files, default 20000), RUNS (hyperfine runs, default 30).
# Installs hyperfine and ripgrep with apt-get (sudo when not root) when they are missing.
set -eu

cd "$(dirname "$0")/.."
PATCHLENS=${PATCHLENS:-build/default/src/app/patchlens}
TREE=${TREE:-build/search-bench-tree}
COUNT=${COUNT:-20000}
RUNS=${RUNS:-30}
RESULTS=build/search-bench.json

tools/install-debian-packages.sh hyperfine ripgrep python3

if [ ! -x "$PATCHLENS" ]; then
    echo "$PATCHLENS not found: build it first (make build, or set PATCHLENS)" >&2
    exit 1
fi

mkdir -p build
python3 bench/make_search_tree.py "$TREE" --count "$COUNT"

# The two commands must do the work they are timed for: ours lists every matching patch, ripgrep
# every patch file holding the Distortion enable record.
expected=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["matching"])' "$TREE/.search-tree.json")
found=$("$PATCHLENS" --search "$TREE" --module Distortion --model Screamer 2>/dev/null | wc -l)
if [ "$found" -ne "$expected" ]; then
    echo "patchlens listed $found patches, the tree holds $expected matching ones" >&2
    exit 1
fi
rg_files=$(rg -l -F '<ID>2433</ID>' "$TREE" | wc -l)
echo "patchlens lists $found matching patches; ripgrep lists $rg_files files holding the key"

hyperfine --warmup 3 --runs "$RUNS" --export-json "$RESULTS" \
    -n patchlens "'$PATCHLENS' --search '$TREE' --module Distortion --model Screamer" \
    -n ripgrep "rg -l -F '<ID>2433</ID>' '$TREE'"

python3 - "$RESULTS" <<'EOF'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
ours, theirs = results["patchlens"], results["ripgrep"]
print(f"patchlens {ours['mean'] * 1000:.1f} ms ± {ours['stddev'] * 1000:.1f}, "
      f"ripgrep {theirs['mean'] * 1000:.1f} ms ± {theirs['stddev'] * 1000:.1f}, "
      f"ratio {ours['mean'] / theirs['mean']:.2f} (at most 1.0 wanted)")
EOF
