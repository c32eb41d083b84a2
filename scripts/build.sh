#!/usr/bin/env bash
# scripts/build.sh <build-folder> [--target <target>...] [cmake options...]: configures (once)
# and builds everything, or only the targets named (and what they need); the first build shows
# its progress (it takes minutes), later ones print only what goes wrong.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
shift
targets=()
options=()
while [ $# -gt 0 ]; do
  if [ "$1" = --target ]; then
    shift
    while [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; do
      targets+=("$1")
      shift
    done
  else
    options+=("$1")
    shift
  fi
done
[ ${#targets[@]} -gt 0 ] && targets=(--target "${targets[@]}")
"$root/scripts/install-deps.sh"
first=0
if [ ! -f "$build/build.ninja" ]; then
  first=1
  log=$(mktemp)
  if ! cmake -S "$root" -B "$build" -G Ninja ${options[@]+"${options[@]}"} >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
fi
if [ "$first" = 1 ]; then
  echo "Building $build for the first time; this takes a few minutes."
  cmake --build "$build" ${targets[@]+"${targets[@]}"}
else
  # ninja says so even when quiet.
  cmake --build "$build" ${targets[@]+"${targets[@]}"} -- --quiet |
    { grep -v '^ninja: no work to do\.$' || true; }
fi
