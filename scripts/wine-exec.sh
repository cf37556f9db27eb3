#!/usr/bin/env bash
# Runs one Windows program of the build under the tree's Wine session (started on
# first use). Output goes through a file: Wine's helper processes can keep a pipe
# open after the program ends, which would hang whoever reads it.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prog=${1:?program}
shift
tree=${QUILLON_WINE_TREE:-}
if [ -z "$tree" ]; then
  # The program lives in TREE/bin (or below TREE): find the tree by its wine folder.
  d=$(cd "$(dirname "$prog")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  if [ "$d" = / ]; then
    # A copy outside any build tree (bin copied elsewhere) has no session of its own.
    echo "wine-exec: $prog is in no build tree; set QUILLON_WINE_TREE to the tree whose session to use" >&2
    exit 2
  fi
  tree=$d
fi
envfile=$("$root/scripts/wine-env.sh" start "$tree") || exit 1
# shellcheck disable=SC1090
. "$envfile"
out=$(mktemp "${TMPDIR:-/tmp}/wine-exec.XXXXXX")
wine "$prog" "$@" >"$out" 2>&1 </dev/null
rc=$?
if [ $rc -ne 0 ] && [ ! -s "$out" ]; then
  # Failed without a word: the program never ran (every test program prints before it
  # does anything). Seen once in a whole Windows suite run; start it again.
  echo "wine-exec: $prog ended with $rc before printing anything; starting it once more" >&2
  wine "$prog" "$@" >"$out" 2>&1 </dev/null
  rc=$?
fi
cat "$out"
rm -f "$out"
exit $rc
