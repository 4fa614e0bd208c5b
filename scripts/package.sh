#!/usr/bin/env bash
# Installs what is missing, builds the release programs and the Debian
# package build/release/quilmere_VERSION_ARCH.deb, and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-dev and file: cpack's library dependencies (dpkg-shlibdeps).
bash scripts/install-deps.sh dpkg-dev file
cmake --preset release >/dev/null
cmake --build build/release --target quilmere quilmere-report quilmere_package_docs
rm -f build/release/quilmere_*.deb
(cd build/release && cpack -G DEB >/dev/null)
ls build/release/quilmere_*.deb
