#!/usr/bin/env bash
# Builds the Debian package and checks it as a user's system would see it:
# unpacked into a temporary root, its desktop entry and AppStream metadata
# validate, its help page lies where the program looks, the unpacked
# quilmere-report runs and names the version that the metadata releases, and
# lintian finds no error and no warning (its pedantic and informative tags
# are shown, not judged).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh dpkg-dev file appstream desktop-file-utils lintian
bash scripts/package.sh
deb="$(ls build/release/quilmere_*.deb)"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
id=example.orvanta.Quilmere
fail() { echo "package test: $*" >&2; exit 1; }

echo "== $deb"
dpkg-deb -f "$deb" Package Version Depends
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends lacks the Qt libraries"

# Exactly the programs and their data; nothing from the build's libraries,
# tests or tools.
expected="./usr/bin/quilmere
./usr/bin/quilmere-report
./usr/share/applications/$id.desktop
./usr/share/metainfo/$id.metainfo.xml
./usr/share/quilmere/Quilmere.html
./usr/share/man/man1/quilmere-report.1.gz
./usr/share/man/man1/quilmere.1.gz
./usr/share/doc/quilmere/copyright
./usr/share/doc/quilmere/changelog.Debian.gz
./usr/share/lintian/overrides/quilmere
./usr/share/icons/hicolor/scalable/apps/$id.svg"
for size in 16 22 24 32 48 64 128 256; do
  expected+=$'\n'"./usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
done
actual="$(cd "$root" && find . -type f | sort)"
[ "$actual" = "$(sort <<<"$expected")" ] ||
  fail "unexpected contents:"$'\n'"$(diff <(sort <<<"$expected") <(echo "$actual") || true)"

desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"

# The window finds its help page at bin/../share/quilmere.
[ -f "$root/usr/bin/../share/quilmere/Quilmere.html" ] || fail "help page not beside bin/"

# The program's version is the package's without its Debian revision.
version="$("$root/usr/bin/quilmere-report" --version)"
echo "$version"
package_version="$(dpkg-deb -f "$deb" Version)"
program_version="${package_version%-*}"
[ "$version" = "quilmere-report $program_version" ] ||
  fail "quilmere-report --version says '$version', the package is $package_version"
grep -q "<release version=\"$program_version\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "the metadata has no release $program_version"

# lintian warns when run as root; that line is not about the package.
echo "== lintian --pedantic (informative)"
lintian --pedantic --display-info --show-overrides --fail-on none "$deb" 2>&1 |
  grep -v 'running with root privileges' || true
echo "== lintian"
findings="$(lintian --fail-on none "$deb" 2>&1 | grep -v 'running with root privileges' || true)"
[ -z "$findings" ] || echo "$findings"
! grep -qE '^[EW]: ' <<<"$findings" || fail "lintian reports errors or warnings"
echo "package test passed"
