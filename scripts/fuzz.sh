#!/usr/bin/env bash
# scripts/fuzz.sh <seconds> [target...]: runs each fuzz target (every one when none is named)
# for the given time with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer (clang).
# The corpus grows in build/fuzz/corpus/<target>; inputs that crash, run out of memory or hang
# are saved in tests/data/fuzz/<target>/crashes, where the `fuzz` tests replay them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh <seconds> [target...]" >&2
  exit 2
fi
seconds=$1
shift
all=(genicamxml stapl bsdl iscdata commandtext mcs registrykey commandrecord)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
for target in "${targets[@]}"; do
  [[ " ${all[*]} " == *" $target "* ]] || { echo "unknown fuzz target: $target" >&2; exit 2; }
done

"$root/scripts/install-deps.sh" fuzz
build="$root/build/fuzz"
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DZOR_SANITIZE=ON -DZOR_FUZZ=ON >/dev/null
fi
cmake --build "$build" --target "${targets[@]/#/fuzz_}" -- --quiet

data="$root/tests/data/fuzz"
# libFuzzer puts libstdc++ before the shared ASan runtime; it defines nothing ASan replaces.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:verify_asan_link_order=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for target in "${targets[@]}"; do
  # Seeds beyond the target's own: the real files of tests/data it reads.
  seeds=("$data/$target/seeds")
  case $target in
    genicamxml) seeds+=("$root/tests/data/genicam"); max_len=32768 ;;
    stapl) seeds+=("$root/tests/data/stapl"); max_len=16384 ;;
    bsdl) seeds+=("$root/tests/data/bsdl"); max_len=65536 ;;
    commandtext | registrykey) max_len=1024 ;;
    *) max_len=4096 ;;
  esac
  corpus="$build/corpus/$target"
  mkdir -p "$corpus" "$data/$target/crashes"
  echo "== $target: $seconds s"
  # Engine inputs name the example flash's files relative to the working folder.
  (cd "$data/files" &&
    "$build/bin/fuzz_$target" "$corpus" "${seeds[@]}" -max_total_time="$seconds" \
      -max_len="$max_len" -timeout=10 -dict="$root/tests/fuzz/dictionaries/$target.dict" \
      -artifact_prefix="$data/$target/crashes/" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 \
      -ignore_ooms=1 -print_final_stats=1 >"$build/$target.log" 2>&1) || true
  tail -n 3 "$build/$target.log"
done
echo "New crash inputs: git status --short tests/data/fuzz"
