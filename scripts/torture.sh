#!/usr/bin/env bash
# scripts/torture.sh [--asan] [--seconds N] [--threads N] [SEED...]: the torture test
# (tests/torture) for longer than CI runs it, once per seed: every road of the application
# interface at once, under ThreadSanitizer (or with --asan under AddressSanitizer), failing when
# a thread makes no progress for 10 s. Without seeds it takes three at random; each run prints
# the line that repeats it. Not in CI: 5 minutes a seed by default.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/tsan"
options=(-DCMAKE_BUILD_TYPE=Debug -DZOR_TSAN=ON)
seconds=300
threads=10
seeds=()
while [ $# -gt 0 ]; do
  case $1 in
    --asan) build="$root/build/asan" options=(-DCMAKE_BUILD_TYPE=Debug -DZOR_SANITIZE=ON) ;;
    --seconds) seconds=$2 && shift ;;
    --threads) threads=$2 && shift ;;
    -*) echo "usage: scripts/torture.sh [--asan] [--seconds N] [--threads N] [SEED...]" >&2 && exit 2 ;;
    *) seeds+=("$1") ;;
  esac
  shift
done
[ ${#seeds[@]} -gt 0 ] || seeds=($RANDOM$RANDOM $RANDOM$RANDOM $RANDOM$RANDOM)
"$root/scripts/build.sh" "$build" --target torture_tests "${options[@]}"
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/support/sanitizers/tsan.supp}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for seed in "${seeds[@]}"; do
  echo "torture.sh: seed $seed, $seconds s, $threads threads"
  ZOR_TORTURE_SEED=$seed ZOR_TORTURE_SECONDS=$seconds ZOR_TORTURE_THREADS=$threads \
    "$build/bin/torture_tests" || {
    echo "torture.sh: FAILED with seed $seed; again: scripts/torture.sh $([ "$build" = "$root/build/asan" ] && echo '--asan ')--seconds $seconds --threads $threads $seed" >&2
    exit 1
  }
done
echo "torture.sh: every seed passed"
