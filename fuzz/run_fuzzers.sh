#!/usr/bin/env bash
#   fuzz/run_fuzzers.sh BUILD_DIR SECONDS [TARGET...]
# Runs each fuzz target of the `fuzz` preset's build for SECONDS seconds and fails when any finds
# something. Under BUILD_DIR/run/TARGET: seeds made afresh from the sample patches, the working
# corpus (kept from run to run), the log and the findings, which `BUILD_DIR/fuzz/TARGET FILE` replays.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: fuzz/run_fuzzers.sh BUILD_DIR SECONDS [TARGET...]}" && pwd)
seconds=${2:?usage: fuzz/run_fuzzers.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
[ $# -gt 0 ] || set -- fuzz_decode fuzz_library fuzz_search_match
shopt -s nullglob
patches=("$root"/samples/*.rp350p "$root"/tests/data/golden/*/*.rp350p)

failed=0
for target in "$@"; do
  work=$build/run/$target
  seeds=$work/seeds
  rm -rf "$seeds"
  mkdir -p "$seeds" "$work/corpus" "$work/findings"
  max_len=65536 dict=$root/fuzz/patch.dict n=0
  case $target in
    fuzz_decode)
      for patch in "${patches[@]}"; do cp "$patch" "$seeds/patch-$((++n))"; done
      # Two patches decoded one after the other, as the golden carry-over case loads them.
      for before in "$root"/tests/data/golden/*/before.rp350p; do
        { cat "$before"; printf '\0NEXT\0'; cat "$(dirname "$before")/input.rp350p"; } >"$seeds/pair-$((++n))"
      done ;;
    fuzz_library)
      cp "$root"/fuzz/seeds/library/* "$seeds"/
      max_len=4096 dict=$root/fuzz/library.dict ;;
    fuzz_search_match)
      cp "$root"/fuzz/seeds/search/* "$seeds"/
      # Each patch once per module (byte 0), with the first model of the module's list (byte 1).
      for patch in "${patches[@]}"; do
        n=$((n + 1))
        for module in 0 1 2 3 4; do { printf "\\x0$module\\x00"; cat "$patch"; } >"$seeds/patch-$n-module-$module"; done
      done ;;
  esac
  log=$work/fuzz.log
  echo "== $target: fuzzing for $seconds s (log: $log)"
  started=$(date +%s)
  status=0
  # The working corpus comes first: new inputs go there, the seeds stay as they are.
  "$build/fuzz/$target" "$work/corpus" "$seeds" -max_total_time="$seconds" -max_len="$max_len" -dict="$dict" \
    -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$work/findings/" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "== $target: $(($(date +%s) - started)) s, ${runs:-?} executions, exit status $status"
  # A finding: the end of the log, then the inputs kept.
  [ "$status" -eq 0 ] || { failed=1; tail -n 60 "$log"; ls -1 "$work/findings/"; }
done
exit "$failed"
