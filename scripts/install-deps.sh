#!/usr/bin/env bash
# Installs the Debian packages the project needs; silent when all are there.
# With "fuzz", also what fuzz campaigns need (scripts/fuzz.sh): clang and libFuzzer's runtime.
# With "clang", clang and clang-tidy (scripts/check-thread-safety.sh, scripts/check-function-size.sh).
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config clang-format python3 dpkg-dev
          rapidjson-dev libxml2-dev libxslt1-dev libzip-dev libpng-dev
          libgtest-dev libgmock-dev libbenchmark-dev srecord urjtag
          libaravis-dev libusb-1.0-0-dev libboost-dev lintian)
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-dev)
elif [ "${1:-}" = clang ]; then
  packages+=(clang clang-tidy)
fi
# Used only by the page test of the feature browser, which is skipped where it is missing.
optional=(chromium)
missing=()
for p in "${optional[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
optionalMissing=("${missing[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ ${#optionalMissing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -eq 0 ]; then
  # Tried once per machine; a failure only skips the test that needs it.
  marker="${XDG_CACHE_HOME:-$HOME/.cache}/zor-optional-packages-tried"
  [ -f "$marker" ] && exit 0
  mkdir -p "$(dirname "$marker")" && touch "$marker"
  echo "Installing (optional): ${optionalMissing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  { $sudo apt-get update -qq && $sudo apt-get install -y -qq --no-install-recommends "${optionalMissing[@]}"; } \
    >/dev/null 2>&1 || echo "Could not install ${optionalMissing[*]}; the tests that need it are skipped." >&2
  exit 0
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null 2>&1 || { echo "apt-get update failed" >&2; exit 1; }
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1 || { echo "apt-get install failed" >&2; exit 1; }
