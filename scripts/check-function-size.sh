#!/usr/bin/env bash
# Checks that no function in driver/ is longer than 60 lines or of cognitive complexity above 25
# (.clang-tidy holds both limits). Uses the compile commands of build/clang, which
# scripts/check-thread-safety.sh configures; run that first. A fixture with one function over each
# limit is checked first, so that a check gone blind cannot pass.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/clang"
"$root/scripts/install-deps.sh" clang
fixture="$root/tests/data/functionsize/tangled.cpp"
found=$(clang-tidy --quiet "$fixture" -- -std=c++20 2>&1 || true)
for rule in readability-function-size readability-function-cognitive-complexity; do
  if [[ $found != *"[$rule"* ]]; then
    echo "check-function-size: the fixture no longer trips $rule; the check is blind." >&2
    exit 1
  fi
done
if [ ! -f "$build/compile_commands.json" ]; then
  echo "check-function-size: no $build/compile_commands.json; run scripts/check-thread-safety.sh first." >&2
  exit 1
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! run-clang-tidy -quiet -p "$build" -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" \
    "^$root/driver/" >"$log" 2>&1; then
  sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E "error: function|note: [0-9]+ lines including" >&2 ||
    sed 's/\x1b\[[0-9;]*m//g' "$log" | tail -40 >&2
  echo "check-function-size: split the functions above into named steps." >&2
  exit 1
fi
echo "Function size and complexity: within the limits."
