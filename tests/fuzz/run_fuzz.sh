#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build tree.
#   run_fuzz.sh fuzz    BUILD_DIR SECONDS  each target for SECONDS, growing BUILD_DIR/fuzz_corpus
#   run_fuzz.sh regress BUILD_DIR SECONDS  replays the seeds and the kept regression inputs, then
#                                          fuzzes each target for SECONDS from a fresh corpus
# Kept inputs live in tests/fuzz/regressions/<target>/ (height_field or texture).
# A crash, leak, sanitizer report or timeout ends the script with a non-zero status; the input
# that caused it is left in BUILD_DIR/fuzz_artifacts.
set -euo pipefail
mode=$1
build=$2
seconds=$3
source_dir="$(cd "$(dirname "$0")" && pwd)"
regressions="$source_dir/regressions"
artifacts="$build/fuzz_artifacts"
mkdir -p "$artifacts"

run_target() {
  local target=$1
  shift
  local log="$build/fuzz_${target}.log"
  echo "== ${target}_fuzz $*"
  if ! "$build/tests/fuzz/${target}_fuzz" -timeout=10 -artifact_prefix="$artifacts/${target}-" "$@" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "${target}_fuzz failed (full log: $log); keep the input from $artifacts in $regressions/$target"
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|^Done' "$log" || true
}

for target in height_field texture; do
  seeds="$build/fuzz_seeds/$target"
  kept=()
  [ -d "$regressions/$target" ] && kept=("$regressions/$target")
  if [ "$mode" = regress ]; then
    run_target "$target" -runs=0 "$seeds" "${kept[@]}"
    corpus=$(mktemp -d)
    trap 'rm -rf "$corpus"' EXIT
    run_target "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "$seeds" "${kept[@]}"
    rm -rf "$corpus"
  else
    corpus="$build/fuzz_corpus/$target"
    mkdir -p "$corpus"
    run_target "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "$seeds" "${kept[@]}"
    echo "corpus: $(ls "$corpus" | wc -l) files in $corpus"
  fi
done
