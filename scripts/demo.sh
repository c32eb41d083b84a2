#!/usr/bin/env bash
# Builds optimised what the demonstration runs (not the tests and benchmarks: scripts/test.sh
# builds those), sets the build tree up as the installer sets an installation up, and runs the
# demonstration program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
# zordemo brings the host library and the driver; the driver loads zorgrabc; zorsetup writes
# the registry through zorregister. The web files and the resources are copied when configuring.
"$root/scripts/build.sh" "$build" --target zordemo zorgrabc zorregister -DCMAKE_BUILD_TYPE=Release
# A registry of the demonstration's own.
export ZOR_REGISTRY_ROOT="$build/registry"
"$build/bin/zorsetup" >/dev/null
# shellcheck source=/dev/null # written by zorsetup
. "$build/etc/profile.d/zor.sh"
exec "$build/bin/zordemo" "$@"
