#!/usr/bin/env bash
# Runs the package tests: finds the installer and the zip that scripts/package.sh left, unpacks
# the zip into a folder of its own and runs the test program under the build tree's Wine session.
# Usage: run_package_test.sh TEST_EXE PACKAGE_DIR VERSION
set -uo pipefail
test_exe=$1 pkgdir=$2 version=$3
root=$(cd "$(dirname "$0")/../../.." && pwd)
setup=$pkgdir/Quillon-$version-setup.exe
zip=$pkgdir/Quillon-$version-win64.zip
for f in "$setup" "$zip"; do
  if [ ! -f "$f" ]; then
    echo "FAILED: $f is missing: make the packages with scripts/package.sh first"
    exit 1
  fi
done
tree=$(cd "$(dirname "$test_exe")/.." && pwd)
if [ "$tree/bin/Quillon.exe" -nt "$setup" ]; then
  echo "note: $setup is older than $tree/bin/Quillon.exe: these are the packages of an earlier build"
fi
work=$(mktemp -d "$tree/package-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
if ! unzip -q "$zip" -d "$work" || [ ! -f "$work/Quillon-$version/Quillon.exe" ]; then
  echo "FAILED: $zip does not unpack to Quillon-$version/Quillon.exe"
  exit 1
fi
envfile=$("$root/scripts/wine-env.sh" start "$tree") || exit 1
# shellcheck disable=SC1090
. "$envfile"
# The Start menu shortcut the installer makes must not become a menu entry of this machine.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
winpath() { local p; p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); echo "Z:${p//\//\\}"; }
QUILLON_PACKAGE_SETUP=$(winpath "$setup")
QUILLON_PACKAGE_ZIPDIR=$(winpath "$work/Quillon-$version")
export QUILLON_PACKAGE_SETUP QUILLON_PACKAGE_ZIPDIR QUILLON_PACKAGE_VERSION=$version
# Through a file: Wine's helper processes can hold a pipe open after the program ends.
wine "$test_exe" >"$work/output" 2>&1 </dev/null
rc=$?
tr -d '\r' <"$work/output"
exit $rc
