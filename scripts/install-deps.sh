#!/usr/bin/env bash
# Installs what building, running and testing Quilmere needs on Debian 12.
# Does nothing when everything is already there.
# scripts/install-deps.sh [PACKAGE...]  (extra packages a script needs)
set -euo pipefail
packages=(
  build-essential cmake ninja-build ccache clang libclang-rt-14-dev
  qt6-base-dev libgl-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libgif-dev imagemagick libhyperscan-dev pkg-config
  xvfb xauth x11-apps e2fsprogs
  libglib2.0-bin gvfs dbus python3-jsonschema
  "$@"
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
