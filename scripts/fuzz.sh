#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for
# SECONDS seconds (default 60) from its seed files. A crash fails the run
# and leaves the input in build/fuzz/artifacts/.
# scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/install-deps.sh
CC=clang CXX=clang++ cmake --preset fuzz >/dev/null
cmake --build build/fuzz --target fuzzers
mkdir -p build/fuzz/artifacts
shopt -s nullglob
for bin in build/fuzz/bin/fuzz_*; do
  name="${bin##*/fuzz_}"
  corpus="build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/$name/seeds" ] && seeds+=("fuzz/$name/seeds")
  echo "== fuzz_$name for ${seconds}s"
  "$bin" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build/fuzz/artifacts/$name-" "$corpus" "${seeds[@]}"
done
