#!/usr/bin/env bash
# Builds the Debian package and checks it as a user would meet it: the desktop
# entry, the AppStream metadata and the manual pages pass their validators,
# lintian finds no errors, and the programs unpacked from the package run.
set -euo pipefail
cd "$(dirname "$0")/.."

rm -f build/release/razmnozhator_*.deb
cmake --workflow --preset package
debs=(build/release/razmnozhator_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "expected one package, found: ${debs[*]}"; exit 1; }
deb=${debs[0]}
version=$(dpkg-deb --field "$deb" Version)

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb --extract "$deb" "$root"

echo "-- desktop entry and AppStream metadata"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
icon=$(sed -n 's/^Icon=//p' "$root"/usr/share/applications/*.desktop)
for size in 16x16 24x24 32x32 48x48 64x64 128x128 256x256; do
    test -f "$root/usr/share/icons/hicolor/$size/apps/$icon.png"
done
test -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg"

echo "-- manual pages"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "${page##*/}: $warnings"; exit 1; }
done

echo "-- lintian"
lintian --fail-on error --display-info "$deb"

echo "-- the programs from the package"
cli="$root/usr/bin/razmnozhator-cli"
[ "$("$cli" --version)" = "razmnozhator-cli $version" ]
[ "$("$cli" -e '[a|b]{-|x|y}')" = $'ax-y\nay-x\nbx-y\nby-x' ]
[ "$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/razmnozhator" --version 2>/dev/null)" = "razmnozhator $version" ]
echo "$deb: all checks passed"
