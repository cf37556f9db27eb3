#!/usr/bin/env bash
# Builds what a Windows user downloads: build/package/Quillon-<version>-win64.zip (portable)
# and build/package/Quillon-<version>-setup.exe (installer and uninstaller).
#
#   scripts/package.sh            builds a release Quillon.exe in a tree of its own (build/package/tree)
#   scripts/package.sh --exe EXE  packs an already built release Quillon.exe instead (test.sh
#                                 uses the Windows test tree's, which is built the same way)
#
# Signed when QUILLON_SIGN_PFX names a certificate (see packaging/sign.sh): Quillon.exe, the
# uninstaller and the installer. Without one the packages are unsigned.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=""
while [ $# -gt 0 ]; do
  case $1 in
    --exe) exe=$(realpath -m "${2:?--exe needs a path}"); shift 2 ;;
    *) echo "usage: $0 [--exe PATH/Quillon.exe]" >&2; exit 2 ;;
  esac
done
cd "$root"

bash scripts/deps.sh package

version=$(sed -n 's/^set(QUILLON_PACKAGE_VERSION \([0-9.]*\)).*/\1/p' cmake/QuillonVersion.cmake)
product_version=$(sed -n 's/^set(QUILLON_PRODUCT_VERSION \([0-9.]*\)).*/\1/p' cmake/QuillonVersion.cmake)
if [ -z "$version" ] || [ -z "$product_version" ]; then
  echo "package: no version in cmake/QuillonVersion.cmake" >&2; exit 1
fi
# QUILLON_PACKAGE_OUT: another folder for the packages (the signing check keeps its own).
out=${QUILLON_PACKAGE_OUT:-$root/build/package}
stage=$out/stage
zipname=Quillon-$version-win64.zip
setupname=Quillon-$version-setup.exe
mkdir -p "$out"
# A failed run must not leave the previous packages looking like its own.
rm -f "$out/$zipname" "$out/$setupname"

if [ -z "$exe" ]; then
  # Release, static runtime (the toolchain links -static), no test suites: only the program.
  echo "== building a release Quillon.exe (build/package/tree)"
  cmake -S . -B "$out/tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQUILLON_TESTS=OFF >"$out/build.log" 2>&1 || { cat "$out/build.log"; exit 1; }
  cmake --build "$out/tree" -j "${QUILLON_JOBS:-2}" --target Quillon >>"$out/build.log" 2>&1 ||
    { tail -n 60 "$out/build.log"; exit 1; }
  exe=$out/tree/bin/Quillon.exe
fi
[ -f "$exe" ] || { echo "package: $exe does not exist" >&2; exit 1; }

echo "== staging Quillon $version"
rm -rf "$stage"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/Quillon.exe" "$exe"
bash packaging/sign.sh "$stage/Quillon.exe"
python3 packaging/md2html.py README.md "$stage/README.html"
# Windows line ends, so that every editor shows the licence as it is meant.
sed 's/\r*$/\r/' LICENSE >"$stage/LICENSE.txt"

# The zip is portable out of the box: the settings file beside the program keeps Quillon's
# settings in its own folder (and the registry untouched but for "start with Windows").
zipdir=$out/zip/Quillon-$version
rm -rf "$out/zip"
mkdir -p "$zipdir"
cp "$stage/Quillon.exe" "$stage/README.html" "$stage/LICENSE.txt" "$zipdir/"
# Quillon's defaults, byte for byte as the program writes them (the native suite config_tests
# checks this file against the program's own table of settings).
cp packaging/QLNConfig.xml "$zipdir/QLNConfig.xml"
(cd "$out/zip" && TZ=UTC zip -q -X -r "$out/$zipname" "Quillon-$version")

makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DPRODUCT_VERSION="$product_version" \
  -DSTAGE="$stage" -DICON="$root/src/res/icons/quillon.ico" -DOUTFILE="$out/$setupname" \
  ${QUILLON_SIGN_PFX:+-DSIGN="$root/packaging/sign.sh"} packaging/quillon.nsi
bash packaging/sign.sh "$out/$setupname"

echo "== packages:"
ls -l "$out/$zipname" "$out/$setupname" | awk '{print "   " $5 " bytes  " $NF}'
