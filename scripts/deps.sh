#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Usage: scripts/deps.sh [core|bench|package|all]   (core: build + tests; bench: benchmark peers;
#        package: the zip and the installer)
set -euo pipefail
what=${1:-core}
core=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
      g++-mingw-w64-x86-64-posix wine wine64 xvfb xdotool x11-utils imagemagick python3 psmisc procps)
bench=(libpugixml-dev libtinyxml2-dev libxml2-dev libexpat1-dev shared-mime-info gir1.2-glib-2.0
       libgirepository1.0-dev iso-codes docbook-xml)
package=(
  cmake ninja-build g++-mingw-w64-x86-64-posix # the release Quillon.exe, built on its own
  python3 # turns README.md into the README.html the packages carry
  nsis # makensis builds Quillon-<version>-setup.exe and its uninstaller from packaging/quillon.nsi
  zip  # packs the portable Quillon-<version>-win64.zip
)
case $what in
  core) pkgs=("${core[@]}") ;;
  bench) pkgs=("${bench[@]}") ;;
  package) pkgs=("${package[@]}") ;;
  all) pkgs=("${core[@]}" "${bench[@]}" "${package[@]}") ;;
  *) echo "usage: $0 [core|bench|package|all]" >&2; exit 2 ;;
esac
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
