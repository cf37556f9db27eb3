#!/usr/bin/env bash
# Lints the CI files, builds both trees and runs every suite: native (ASan + UBSan), Windows under
# Wine + Xvfb, and brief fuzz runs. Ends with one line: N passed, M failed[, K skipped].
set -uo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"
jobs=${QUILLON_JOBS:-$(nproc)}

bash scripts/deps.sh core || { echo "dependency installation failed"; echo "0 passed, 1 failed"; exit 1; }

failed_steps=0
declare -a junits=()

build_tree() { # preset
  local preset=$1 log=build/logs/$1.log
  echo "== configure and build: $preset"
  mkdir -p build/logs
  if ! cmake --preset "$preset" >"$log" 2>&1; then
    cat "$log"; return 1
  fi
  if ! cmake --build --preset "$preset" -j "$jobs" >>"$log" 2>&1; then
    tail -n 80 "$log"; return 1
  fi
  rm -f "$log"
}

run_ctest() { # tree label
  local tree=$1 name=$2
  echo "== tests: $name"
  local junit=$root/$tree/ctest-junit.xml
  rm -f "$junit"
  ctest --test-dir "$tree" -j "$jobs" --output-on-failure --output-junit "$junit" --timeout 600 \
    | grep -vE '^\s*[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' || true
  [ -f "$junit" ] && junits+=("$junit")
}

mkdir -p build
# Every C++ file in the house format (.clang-format), so that a diff shows only what changed.
echo "== format"
# (A clean checkout may come without git: the files are found, not listed by git.)
unformatted=$(find src tests bench fuzz tools -type f \( -name '*.cpp' -o -name '*.h' \) | sort |
  while read -r f; do clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || echo "$f"; done)
if [ -n "$unformatted" ]; then
  echo "not in the house format (clang-format -i FILE):"; echo "$unformatted"
  failed_steps=$((failed_steps + 1))
fi

# The CI workflows and the script that runs the tests on Windows, linted by WebAssembly tools
# from the npm registry (scripts/lint/package.json): installed once per lock file into
# build/tools with --ignore-scripts, they fetch nothing when they run.
lint_tools() {
  local dir=build/tools
  if [ -d "$dir/node_modules" ] && cmp -s scripts/lint/package-lock.json "$dir/installed-lock.json"; then
    return 0
  fi
  rm -rf "$dir"
  mkdir -p "$dir" build/logs
  cp scripts/lint/package.json scripts/lint/package-lock.json "$dir/"
  # The system's certificates too, where a proxy of the network signs the registry's.
  local certs=/etc/ssl/certs/ca-certificates.crt
  [ -z "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f "$certs" ] && export NODE_EXTRA_CA_CERTS=$certs
  if ! (cd "$dir" && npm ci --ignore-scripts --no-audit --no-fund) >build/logs/lint-tools.log 2>&1; then
    tail -n 5 build/logs/lint-tools.log; return 1
  fi
  cp scripts/lint/package-lock.json "$dir/installed-lock.json"
}
echo "== lint: CI workflows and PowerShell scripts"
skipped_steps=0
if ! lint_tools; then
  # A registry this machine cannot reach is no fault of the project: said, and counted as skipped.
  echo "the linters could not be installed from the npm registry: the workflow and scripts are not linted"
  skipped_steps=$((skipped_steps + 1))
elif ! node scripts/lint/lint.cjs build/tools/node_modules .github/workflows/*.yml scripts/*.ps1; then
  failed_steps=$((failed_steps + 1))
fi

if build_tree native; then run_ctest build/native native; else failed_steps=$((failed_steps + 1)); fi

if build_tree windows; then
  # The zip and the installer, from this tree's release Quillon.exe, for the package tests.
  bash scripts/package.sh --exe build/windows/bin/Quillon.exe >build/logs/package.log 2>&1 && rm -f build/logs/package.log || cat build/logs/package.log
  scripts/wine-env.sh stop build/windows >/dev/null 2>&1 || true
  if scripts/wine-env.sh start build/windows >/dev/null; then
    run_ctest build/windows windows
    # Signed packages with a throwaway certificate; the tests used the unsigned ones.
    bash packaging/check-signing.sh build/windows || failed_steps=$((failed_steps + 1))
  else
    echo "could not start the Wine session"; failed_steps=$((failed_steps + 1))
  fi
  scripts/wine-env.sh stop build/windows >/dev/null 2>&1 || true
else
  failed_steps=$((failed_steps + 1))
fi

if [ -f fuzz/CMakeLists.txt ]; then
  if build_tree fuzz; then run_ctest build/fuzz fuzz; else failed_steps=$((failed_steps + 1)); fi
fi

python3 - "$failed_steps" "$skipped_steps" "${junits[@]}" <<'PY'
import sys, xml.etree.ElementTree as ET
failed_steps = int(sys.argv[1])
passed = failed = 0
skipped = int(sys.argv[2])
for path in sys.argv[3:]:
    try:
        root = ET.parse(path).getroot()
    except Exception as e:
        print(f"unreadable test report {path}: {e}")
        failed += 1
        continue
    for case in root.iter("testcase"):
        status = case.get("status", "")
        if case.find("failure") is not None or case.find("error") is not None or status == "fail":
            failed += 1
        elif case.find("skipped") is not None or status in ("notrun", "disabled", "skipped"):
            skipped += 1
        else:
            passed += 1
failed += failed_steps
line = f"{passed} passed, {failed} failed"
if skipped:
    line += f", {skipped} skipped"
print(line)
sys.exit(1 if failed else 0)
PY
