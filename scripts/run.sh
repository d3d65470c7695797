#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Without a server installation on
# this machine it works on a copy of the demo server folder (build/demo-server). Without a
# display it starts on a virtual X server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" gui

has_server() {
  [ -n "${FIREBIRD+set}" ] && return 0
  [ -f /opt/firebird/firebird.conf ] && return 0
  compgen -G '/etc/firebird/*/firebird.conf' >/dev/null
}
if ! has_server; then
  demo="$root/build/demo-server"
  [ -d "$demo" ] || cp -r "$root/examples/server" "$demo"
  export FIREBIRD="$demo"
  echo "No server installation found: using the demo server folder $demo"
fi

program="$root/build/src/Tessaro"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$program"
fi
echo "No display: starting on a virtual X server (Xvfb). Close with Ctrl+C."
exec xvfb-run -a -s '-screen 0 1280x800x24' "$program"
