#!/usr/bin/env bash
# Installs what is missing, builds the release build and starts Quilmere.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build build/release --target quilmere
exec build/release/app/quilmere
