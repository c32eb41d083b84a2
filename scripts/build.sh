#!/usr/bin/env bash
# scripts/build.sh <build-folder> [cmake options...]: configures (once) and builds quietly.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
shift
"$root/scripts/install-deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  log=$(mktemp)
  if ! cmake -S "$root" -B "$build" -G Ninja "$@" >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
fi
cmake --build "$build" -- --quiet
