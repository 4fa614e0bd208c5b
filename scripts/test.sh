#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite headless.
# scripts/test.sh [release|core|asan]  (default: release; core: the Qt-free
# libraries and their tests alone)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
bash scripts/install-deps.sh
cmake --preset "$preset" -DQUILMERE_WERROR="${QUILMERE_WERROR:-OFF}" >/dev/null
cmake --build "build/$preset"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "build/$preset" --output-on-failure -j2 --timeout 300
