#!/usr/bin/env bash
# Builds Qt 6 for Windows (MinGW-w64, posix threads) from Debian's own qt6-base source package,
# with only what the program and its tests need, and installs it into a cache folder outside the
# clone. A cache of the same Qt version, target and options is reused as it is.
#   scripts/build-qt-windows.sh [i686|x86_64]    32-bit (the program as shipped) or 64-bit;
#                                                prints the cache folder on its last line
# Run as root on Debian 12; the host Qt (qt6-base-dev) provides moc, rcc and uic.
# TESSARO_QT_CACHE chooses the folder that holds the caches (default /var/cache/tessaro).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-i686}
case "$arch" in i686 | x86_64) ;; *) echo "usage: $0 [i686|x86_64]" >&2; exit 2 ;; esac
stage() { echo "build-qt-windows: $*" >&2; }

packages=(dpkg-dev cmake ninja-build qt6-base-dev "g++-mingw-w64-${arch//_/-}-posix")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  stage "installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

# Only what Qt is configured with goes into the build; the cache's name says which version with
# which options, so that a change to them builds anew.
options=(
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$arch-w64-mingw32.cmake"
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DQT_BUILD_BENCHMARKS=OFF
  -DCMAKE_FIND_ROOT_PATH="/usr/$arch-w64-mingw32"
  -DFEATURE_tabletevent=OFF
  -DFEATURE_vulkan=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_network=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_opengl_desktop=OFF
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_freetype=OFF
  -DFEATURE_system_libpng=OFF
  -DFEATURE_system_libjpeg=OFF
)
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
key=$({ printf '%s\n' "${options[@]//$root/}"; cat "$root/cmake/$arch-w64-mingw32.cmake"; } | sha256sum | cut -c1-12)
cache_root=${TESSARO_QT_CACHE:-/var/cache/tessaro}
bits=$([ "$arch" = i686 ] && echo 32 || echo 64)
prefix="$cache_root/qt6-mingw$bits-${version//[^A-Za-z0-9.]/_}-$key"
if [ -f "$prefix/.complete" ]; then
  stage "using the cache in $prefix"
  echo "$prefix"
  exit 0
fi

work="$cache_root/work-$key"
rm -rf "$work"
mkdir -p "$work/lists/partial"
# A private list with the source entry, so the system's apt setup stays as it is.
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
echo "deb-src http://deb.debian.org/debian $suite main" > "$work/sources.list"
apt_private=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o "Dir::State::Lists=$work/lists")
stage "fetching the source of qt6-base $version (1/4)"
# Without the source package there is nothing to build: exit code 3 says so to the caller.
apt-get "${apt_private[@]}" update -qq >&2 || { stage "the package lists with sources cannot be fetched"; exit 3; }
(cd "$work" && apt-get "${apt_private[@]}" source -qq --only-source "qt6-base=$version" >&2) \
  || { stage "the source package qt6-base $version cannot be fetched"; exit 3; }
source=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -1)
[ -n "$source" ] || { stage "the source package could not be unpacked"; exit 1; }

stage "configuring (2/4)"
cmake -S "$source" -B "$work/build" -G Ninja -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" \
  >"$work/configure.log" 2>&1 || { tail -40 "$work/configure.log" >&2; exit 1; }

stage "building, about half an hour on two cores (3/4)"
cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1 || { tail -40 "$work/build.log" >&2; exit 1; }
stage "installing into $prefix (4/4)"
cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -20 "$work/install.log" >&2; exit 1; }
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
