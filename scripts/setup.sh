#!/usr/bin/env bash
# Installs what is missing on Debian 12 (run as root) and builds everything into build/.
# Usage: scripts/setup.sh [gui|test]
#   gui  adds what trying the program needs (an X server);
#   test adds what the whole test suite needs besides: a window manager, input and screenshot tools
#        for the end-to-end test, Windows cross compilers, Wine and NSIS for the registry test, the
#        Windows program and its installer, ACL and attribute tools for the save tests, Debian's
#        Firebird 3.0 server, its SQL client and strace for the real-server test (which starts a private
#        copy of the server by hand: the system's service is never started).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# clang and its runtime build the fuzz targets (preset "fuzz"); clang-format checks the house style.
packages=(cmake ninja-build g++ qt6-base-dev clang-14 libclang-rt-14-dev clang-format-14)
case "${1:-}" in
  gui) packages+=(xvfb xauth fonts-dejavu-core qt6-translations-l10n) ;;
  test) packages+=(xvfb xauth fonts-dejavu-core qt6-translations-l10n openbox xdotool x11-utils imagemagick
                   g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 nsis locales firebird3.0-server firebird3.0-utils strace acl attr) ;;
esac
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
    || missing+=("$package")
done
# The server's package would start the system's service; a policy that refuses every start keeps
# it stopped for the length of the install (any policy already there is put back afterwards).
policy=/usr/sbin/policy-rc.d
policy_saved="$policy.tessaro-saved"
restore_policy() {
  rm -f "$policy"
  if [ -e "$policy_saved" ]; then mv "$policy_saved" "$policy"; fi
}
service_pids() { pgrep -x -u firebird 'fbguard|firebird' 2>/dev/null || true; }
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  server_before=$(service_pids)
  if [ -e "$policy" ]; then mv "$policy" "$policy_saved"; fi
  trap restore_policy EXIT
  printf '#!/bin/sh\nexit 101\n' > "$policy"
  chmod 755 "$policy"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    || case " ${missing[*]} " in
         *" firebird3.0-server "*)
           echo "Installing failed; once more without the database server (its test will be skipped)."
           without=()
           for package in "${missing[@]}"; do
             case "$package" in firebird3.0-*) ;; *) without+=("$package") ;; esac
           done
           if [ ${#without[@]} -gt 0 ]; then
             DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${without[@]}"
           fi ;;
         *) exit 1 ;;
       esac
  restore_policy
  trap - EXIT
  # Nothing may be left running that was not running before: a service the install started
  # despite the policy is stopped by its own process id.
  for pid in $(service_pids); do
    case " $server_before " in *" $pid "*) ;; *) echo "Stopping the server the install started ($pid)"; kill "$pid" ;; esac
  done
fi

# Wine takes a German system with the ANSI code page 1252 from the locale de_DE.UTF-8, and file
# names in UTF-8 only from a locale the system has.
if [ "${1:-}" = test ] && ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  echo "Generating the locale de_DE.UTF-8"
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

"$root/scripts/fetch-stock-server-files.sh" "$root/build/firebird-stock" \
  || echo "Debian's stock server files could not be fetched: their round-trip test will be skipped."

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build" -j "$(nproc)"
