#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Usage: scripts/deps.sh [core|windows|bench|package|all]   (core: build + tests; windows: building
#        the windows preset alone; bench: benchmark peers; package: the zip and the installer)
set -euo pipefail
what=${1:-core}
# core: what ./test.sh and ./run.sh need, one reason each.
core=(
  cmake ninja-build                    # the build
  g++ libgtest-dev libgmock-dev googletest  # native tests (GoogleTest sources are also built with MinGW)
  clang libclang-rt-14-dev             # libFuzzer targets and their sanitizer runtime
  clang-format                         # ./test.sh checks that every source file keeps the house format
  libbenchmark-dev                     # the benchmark programs build in the native tree
  g++-mingw-w64-x86-64-posix           # cross-compiler for Quillon.exe and the Windows tests
  wine wine64                          # runs the Windows tests and the demo
  # Wine only recommends these, and we install without recommendations:
  fonts-wine                           # the dialog font ("MS Shell Dlg" -> Tahoma): dialog sizes and screenshots
  libxrender1                          # anti-aliased text and alpha-blended images (GDI+ buttons, icons)
  libxcursor1                          # colour and hand cursors (the link in the About box)
  libxrandr2 libxinerama1              # monitor and work-area geometry (the choice list's placement)
  xvfb xdotool x11-utils               # a private X display and driving it from outside
  imagemagick                          # screenshots for the README and the demo
  python3 psmisc procps                # test.sh's summary, killing and waiting for helper processes
  unzip                                # the package test unpacks the portable zip
  nodejs npm                           # ./test.sh lints the CI workflows (a linter from the npm registry)
)
# windows: building the windows preset and nothing else (the CI's build job, whose programs are
# tested on Windows itself): no Wine, no Xvfb.
windows=(
  cmake ninja-build                    # the build
  g++-mingw-w64-x86-64-posix           # the cross-compiler
  googletest                           # GoogleTest's sources, built by the cross-compiler for the tests
)
bench=(libpugixml-dev libtinyxml2-dev libxml2-dev libexpat1-dev shared-mime-info gir1.2-glib-2.0
       libgirepository1.0-dev iso-codes docbook-xml)   # benchmark peers and their corpus files
# package: what scripts/package.sh needs, one reason each.
package=(
  cmake ninja-build g++-mingw-w64-x86-64-posix  # the release Quillon.exe, built on its own
  python3                              # turns README.md into the README.html the packages carry
  nsis                                 # makensis: Quillon-<version>-setup.exe and its uninstaller
  zip                                  # packs the portable Quillon-<version>-win64.zip
  osslsigncode openssl                 # signs the programs when a certificate is given
)
case $what in
  core) pkgs=("${core[@]}") ;;
  windows) pkgs=("${windows[@]}") ;;
  bench) pkgs=("${bench[@]}") ;;
  package) pkgs=("${package[@]}") ;;
  all) pkgs=("${core[@]}" "${bench[@]}" "${package[@]}") ;;
  *) echo "usage: $0 [core|windows|bench|package|all]" >&2; exit 2 ;;
esac
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' && continue
  # A nodejs from another Debian archive carries its own npm and conflicts with Debian's.
  [ "$p" = npm ] && command -v npm >/dev/null && continue
  missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
