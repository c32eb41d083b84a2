#!/usr/bin/env bash
# Builds with ThreadSanitizer and runs every test there; CI runs it after scripts/test.sh.
# Extra arguments go to ctest. Tests that cannot run under ThreadSanitizer are left out where
# they are declared (the Python ctypes client: the interpreter cannot load the runtime).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/tsan"
"$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Debug -DZOR_TSAN=ON
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
