#!/usr/bin/env bash
# Installs what is missing on Debian 12 (run as root) and builds everything into build/.
# Usage: scripts/setup.sh [gui|test]
#   gui  adds what trying the program needs (an X server);
#   test adds what the whole test suite needs besides: a window manager, input and screenshot tools
#        for the end-to-end test, a Windows cross compiler and Wine for the registry test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# clang and its runtime build the fuzz targets (preset "fuzz").
packages=(cmake ninja-build g++ qt6-base-dev clang-14 libclang-rt-14-dev)
case "${1:-}" in
  gui) packages+=(xvfb xauth fonts-dejavu-core qt6-translations-l10n) ;;
  test) packages+=(xvfb xauth fonts-dejavu-core qt6-translations-l10n openbox xdotool x11-utils imagemagick
                   g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64) ;;
esac
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
    || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

"$root/scripts/fetch-stock-server-files.sh" "$root/build/firebird-stock" \
  || echo "Debian's stock server files could not be fetched: their round-trip test will be skipped."

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build" -j "$(nproc)"
