#!/usr/bin/env bash
# Builds optimised and runs the demonstration program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
"$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release
# What an installer writes into the registry, in a registry of the demonstration's own.
export ZOR_REGISTRY_ROOT="$build/registry"
mkdir -p "$ZOR_REGISTRY_ROOT"
"$build/bin/zorregister" 'HKEY_LOCAL_MACHINE\Software\Velant\Imaging Board\DravionLyn' \
  FirmwarePath "$build/share/zor/dravionlyn/firmware"
"$build/bin/zorregister" 'HKEY_LOCAL_MACHINE\Software\Velant\Imaging Board\DravionLyn' \
  DCFPATH "$build/share/zor/dravionlyn/dcf"
# The GenICam runtime's root and XML repository, as an installer sets them machine-wide.
export ZOR_GENICAM_PATH="$build/share/zor/genicam"
export ZOR_XML_REPOSITORY="$build/share/zor/xmlrepository"
"$build/bin/zordemo" "$@"
