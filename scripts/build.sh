#!/usr/bin/env bash
# scripts/build.sh <build-folder> [cmake options...]: configures (once) and builds; the first
# build shows its progress (it takes minutes), later ones print only what goes wrong.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
shift
"$root/scripts/install-deps.sh"
first=0
if [ ! -f "$build/build.ninja" ]; then
  first=1
  log=$(mktemp)
  if ! cmake -S "$root" -B "$build" -G Ninja "$@" >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
fi
if [ "$first" = 1 ]; then
  echo "Building $build for the first time; this takes a few minutes."
  cmake --build "$build"
else
  # ninja says so even when quiet.
  cmake --build "$build" -- --quiet | { grep -v '^ninja: no work to do\.$' || true; }
fi
