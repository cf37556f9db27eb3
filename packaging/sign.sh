#!/usr/bin/env bash
# Signs a Windows program in place with Authenticode, when a certificate is given:
#   QUILLON_SIGN_PFX        the certificate and its private key (PKCS#12 file); unset: no signing
#   QUILLON_SIGN_PASSWORD   its password (may be empty)
#   QUILLON_SIGN_TIMESTAMP  a time-stamping server's URL (optional: without one a signature
#                           stops being valid when the certificate expires)
# Both come from the environment of whoever builds a release, never from the repository; the
# password is handed over through a pipe, never on a command line others can read.
# Usage: packaging/sign.sh FILE...   (scripts/package.sh and the installer build call it)
set -euo pipefail
if [ -z "${QUILLON_SIGN_PFX:-}" ]; then
  exit 0
fi
[ -f "$QUILLON_SIGN_PFX" ] || { echo "sign: QUILLON_SIGN_PFX=$QUILLON_SIGN_PFX does not exist" >&2; exit 1; }
command -v osslsigncode >/dev/null || { echo "sign: osslsigncode is missing (scripts/deps.sh package)" >&2; exit 1; }
for file in "$@"; do
  args=(sign -pkcs12 "$QUILLON_SIGN_PFX" -h sha256 -n "Quillon" -in "$file" -out "$file.signed")
  if [ -n "${QUILLON_SIGN_TIMESTAMP:-}" ]; then
    args+=(-ts "$QUILLON_SIGN_TIMESTAMP")
  fi
  rm -f "$file.signed"
  if ! osslsigncode "${args[@]}" -readpass <(printf '%s' "${QUILLON_SIGN_PASSWORD:-}") >"$file.sign.log" 2>&1; then
    cat "$file.sign.log" >&2
    rm -f "$file.signed" "$file.sign.log"
    echo "sign: could not sign $file" >&2
    exit 1
  fi
  mv -f "$file.signed" "$file"
  rm -f "$file.sign.log"
  echo "   signed $(basename "$file")"
done
