# What both edit-road benchmarks do first: build the programs they drive (unless
# QUILLON_BENCH_NO_BUILD=1), start the tree's Wine session and make a scratch folder.
# Sourced from the repository root; sets tree, out, log and load_before.
# QUILLON_BENCH_TREE: another tree's bin folder (binaries kept from an earlier build, say);
# QUILLON_BENCH_NO_BUILD=1 measures them as they are.
tree=${QUILLON_BENCH_TREE:-build/windows}
if [ -z "${QUILLON_BENCH_NO_BUILD:-}" ]; then
  [ -f "$tree/CMakeCache.txt" ] || cmake --preset windows >/dev/null
  cmake --build "$tree" -j 2 --target Quillon quillon-keeper quillon-textbox quillon-test-editor \
    quillon-road-driver >/dev/null
fi
envfile=$(scripts/wine-env.sh start "$tree")
# shellcheck disable=SC1090
. "$envfile"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
log=$out/driver.log
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
