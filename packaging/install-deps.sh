#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need, skipping those already present.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev libgl-dev
    libgmp-dev qt6-translations-l10n libxlsxwriter-dev unzip
    libgtest-dev libbenchmark-dev
)
if [ "${1:-}" = "--fuzz" ]; then
    packages+=(clang libclang-rt-14-dev)
fi
if [ "${1:-}" = "--package" ]; then
    packages+=(dpkg-dev file desktop-file-utils appstream lintian man-db)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg -s "$package" 2>/dev/null | grep -q '^Status: install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
