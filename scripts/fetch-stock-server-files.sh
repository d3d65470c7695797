#!/usr/bin/env bash
# Unpacks Debian's stock "firebird.conf" and "databases.conf" of the Firebird 3.0 server into
# DEST (DEST/etc/firebird/3.0/), for the round-trip test on files that no one here wrote. Only
# the packages are downloaded and unpacked: nothing is installed and no service starts.
# Skipped when both files are there already.
# Usage: scripts/fetch-stock-server-files.sh DEST
set -euo pipefail
dest=$1
conf="$dest/etc/firebird/3.0"
if [ -f "$conf/firebird.conf" ] && [ -f "$conf/databases.conf" ]; then
  exit 0
fi

# firebird.conf comes with the common files, databases.conf with the server.
packages=(firebird3.0-common firebird3.0-server)
download=$(mktemp -d)
trap 'rm -rf "$download"' EXIT
fetch() { (cd "$download" && apt-get download -qq "${packages[@]}"); }
# A fresh machine may have no package lists yet.
if ! fetch 2>/dev/null; then
  apt-get update -qq
  fetch
fi
mkdir -p "$dest"
for deb in "$download"/*.deb; do
  dpkg-deb -x "$deb" "$dest"
done
