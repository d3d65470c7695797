#!/usr/bin/env bash
# Installs what is missing on Debian 12 (run as root) and builds everything into build/.
# Usage: scripts/setup.sh [gui]   - "gui" adds what trying the program needs (an X server).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(cmake ninja-build g++ qt6-base-dev)
if [ "${1:-}" = gui ]; then
  packages+=(xvfb xauth fonts-dejavu-core)
fi
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

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build" -j "$(nproc)"
