#!/usr/bin/env bash
# Builds optimised and runs the demonstration program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
"$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release
"$build/bin/zordemo" "$@"
