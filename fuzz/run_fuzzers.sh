#!/usr/bin/env bash
# Runs each fuzz target for SECONDS seconds, one after the other, and fails when any of them finds
# something (a crash, a sanitizer report, a broken promise, a hang, a leak).
#
#   fuzz/run_fuzzers.sh BUILD_DIR SECONDS [TARGET...]
#
# BUILD_DIR is the build of the `fuzz` preset (build/fuzz). Everything a run writes stays under
# BUILD_DIR/run/TARGET: the seeds made from the sample patches, the working corpus (kept from run
# to run, so later runs start where earlier ones ended), the log and any finding (crash-*, leak-*,
# timeout-*). A finding is replayed with `BUILD_DIR/fuzz/TARGET FILE`.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: fuzz/run_fuzzers.sh BUILD_DIR SECONDS [TARGET...]}" && pwd)
seconds=${2:?usage: fuzz/run_fuzzers.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_decode fuzz_library fuzz_search_match)
fi

shopt -s nullglob
patches=("$root"/samples/*.rp350p "$root"/tests/data/golden/*/*.rp350p)

# Fills the seed folder of a target afresh.
make_seeds() {
  local target=$1 seeds=$2 n=0 patch
  rm -rf "$seeds"
  mkdir -p "$seeds"
  case $target in
    fuzz_decode)
      for patch in "${patches[@]}"; do
        n=$((n + 1))
        cp "$patch" "$seeds/patch-$n"
      done
      # Two patches decoded one after the other, as the golden carry-over case loads them.
      for before in "$root"/tests/data/golden/*/before.rp350p; do
        n=$((n + 1))
        { cat "$before"; printf '\0NEXT\0'; cat "$(dirname "$before")/input.rp350p"; } >"$seeds/pair-$n"
      done
      ;;
    fuzz_library)
      cp "$root"/fuzz/seeds/library/* "$seeds"/
      ;;
    fuzz_search_match)
      cp "$root"/fuzz/seeds/search/* "$seeds"/
      # Each patch once per module (byte 0), with the first model of the module's list (byte 1).
      for patch in "${patches[@]}"; do
        n=$((n + 1))
        for module in 0 1 2 3 4; do
          { printf "\\x0$module\\x00"; cat "$patch"; } >"$seeds/patch-$n-module-$module"
        done
      done
      ;;
  esac
}

max_len_of() {
  case $1 in
    fuzz_library) echo 4096 ;;
    *) echo 65536 ;;
  esac
}

dict_of() {
  case $1 in
    fuzz_library) echo "$root/fuzz/library.dict" ;;
    *) echo "$root/fuzz/patch.dict" ;;
  esac
}

summary=()
failed=0
for target in "${targets[@]}"; do
  binary=$build/fuzz/$target
  work=$build/run/$target
  mkdir -p "$work/corpus" "$work/findings"
  make_seeds "$target" "$work/seeds"
  log=$work/fuzz.log
  echo "== $target: fuzzing for $seconds s (log: $log)"
  started=$(date +%s)
  status=0
  # The working corpus comes first: new inputs go there, the seeds stay as they are.
  "$binary" "$work/corpus" "$work/seeds" \
    -max_total_time="$seconds" -max_len="$(max_len_of "$target")" -dict="$(dict_of "$target")" \
    -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$work/findings/" >"$log" 2>&1 || status=$?
  ran=$(($(date +%s) - started))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  runs=${runs:-?}
  if [ "$status" -ne 0 ]; then
    failed=1
    echo "!! $target: FINDING (exit status $status); the end of its log:"
    tail -n 60 "$log"
    echo "!! findings kept in $work/findings/:"
    ls -1 "$work/findings/"
    summary+=("$(printf '%-18s %6s s %12s executions   FINDING' "$target" "$ran" "$runs")")
  else
    summary+=("$(printf '%-18s %6s s %12s executions   no finding' "$target" "$ran" "$runs")")
  fi
done

echo
echo "Fuzzing summary:"
printf '  %s\n' "${summary[@]}"
exit "$failed"
