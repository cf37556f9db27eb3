#!/usr/bin/env bash
# Proves the signing path end to end with a throwaway self-signed certificate made on the spot:
# scripts/package.sh signs into a folder of its own (build/package-signed), and the
# signatures of the installer, of Quillon.exe in the zip and of the uninstaller the installer
# writes (installed silently under the tree's Wine session) are checked against that
# certificate. The packages of build/package are left as they are (unsigned).
# Usage: packaging/check-signing.sh TREE   (test.sh calls it with build/windows)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tree=$(cd "${1:?usage: $0 TREE}" && pwd)
out=$root/build/package-signed
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "signing check FAILED: $*"; exit 1; }

openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Quillon throwaway test signer" \
  -keyout "$work/key.pem" -out "$work/cert.pem" >"$work/openssl.log" 2>&1 || { cat "$work/openssl.log"; fail "openssl req"; }
password="throwaway-$RANDOM"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.pfx" \
  -passout "fd:3" 3< <(printf '%s' "$password") >>"$work/openssl.log" 2>&1 || { cat "$work/openssl.log"; fail "openssl pkcs12"; }

rm -rf "$out"
QUILLON_PACKAGE_OUT=$out QUILLON_SIGN_PFX=$work/signer.pfx QUILLON_SIGN_PASSWORD=$password \
  bash "$root/scripts/package.sh" --exe "$tree/bin/Quillon.exe" >"$work/package.log" 2>&1 ||
  { cat "$work/package.log"; fail "scripts/package.sh with a certificate"; }

verify() {
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; fail "$2 carries no valid signature"; }
  grep -q "Quillon throwaway test signer" "$work/verify.log" || fail "$2 is not signed by the test certificate"
}
setup=$(ls "$out"/Quillon-*-setup.exe) || fail "no installer in $out"
verify "$setup" "the installer"
unzip -q "$(ls "$out"/Quillon-*-win64.zip)" -d "$work/zip" || fail "the zip does not unpack"
verify "$(ls "$work"/zip/*/Quillon.exe)" "Quillon.exe in the zip"

# The uninstaller exists only once the installer has written it.
envfile=$("$root/scripts/wine-env.sh" start "$tree") || fail "no Wine session"
# shellcheck disable=SC1090
. "$envfile"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
mkdir -p "$work/installed"
wine "$setup" /S /NOAUTOSTART "/D=$(winepath -w "$work/installed")" >"$work/wine.log" 2>&1 </dev/null ||
  fail "the signed installer did not install"
verify "$work/installed/Quillon.exe" "the installed Quillon.exe"
verify "$work/installed/Uninstall.exe" "the uninstaller"
wine "$work/installed/Uninstall.exe" /S "_?=$(winepath -w "$work/installed")" >>"$work/wine.log" 2>&1 </dev/null ||
  fail "the signed uninstaller did not uninstall"
rm -rf "$out"
echo "signing check passed: installer, Quillon.exe and uninstaller signed"
