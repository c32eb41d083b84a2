#!/usr/bin/env bash
# Builds the driver library with clang and its thread-safety analysis as errors: every member
# that driver/foundation/threadsafety.h marks as guarded is used under its lock, and functions
# that need a lock are called with it. Only the driver's own sources are compiled, into
# build/clang (no linking, no tests); GCC builds ignore the annotations. Fixtures with one
# unguarded write each (under a plain lock, under a ranked one) are checked first, so that
# annotations that went empty cannot pass. Ends with how many of the lock table's locks the
# annotations name.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/clang"
"$root/scripts/install-deps.sh" clang
# A folder configured without the analysis would build clean and check nothing: configure again.
if ! grep -q '^CMAKE_CXX_FLAGS:STRING=.*-Wthread-safety' "$build/CMakeCache.txt" 2>/dev/null; then
  rm -f "$build/build.ninja"
fi
if [ ! -f "$build/build.ninja" ]; then
  log=$(mktemp)
  if ! CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS="-Wthread-safety" >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
fi
# Each fixture writes a guarded member without its lock (a plain lock, a ranked one in a build
# without the order checks): the analysis must refuse it, and only it (a lock type that is no
# capability draws an attribute warning, and the analysis then still reports the write).
for fixture in "$root"/tests/data/threadsafety/unguarded{,ranked}.cpp; do
  found=$(clang++ -std=c++20 -fsyntax-only -Wthread-safety -I"$root" "$fixture" 2>&1 || true)
  if [[ $found != *"requires holding"* || $found == *"-Wthread-safety-attributes"* ]]; then
    echo "check-thread-safety: $(basename "$fixture") passed; the annotations no longer reach" \
      "the analysis." >&2
    exit 1
  fi
done
mapfile -t objects < <(ninja -C "$build" -t targets all | sed -n 's|^\(driver/[^:]*\.o\): .*|\1|p')
ninja -C "$build" --quiet ${CMAKE_BUILD_PARALLEL_LEVEL:+-j "$CMAKE_BUILD_PARALLEL_LEVEL"} "${objects[@]}"
# The locks of the table that the analysis follows: those named by a GUARDED_BY member or a
# REQUIRES function (by the lock's name, its accessors' and the functions that return them).
covered=$(python3 "$root/scripts/lockcoverage.py" "$root")
echo "Thread-safety analysis: clean; $covered locks of the lock table are under it."
