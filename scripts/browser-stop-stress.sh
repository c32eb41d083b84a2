#!/usr/bin/env bash
# scripts/browser-stop-stress.sh [ROUNDS] [SIDE_BY_SIDE]: `zordemo --browser` of the optimised
# build, visited by a client that reads a feature, asks for the whole map and drops its
# connection as Ctrl-C comes (tests/application/browsercheck.py), ROUNDS times in a row (200 by
# default), by SIDE_BY_SIDE applications at once (2 by default) on a machine kept busy by one
# spinning process per core; as this user and, when run as root, as another user ("nobody") too.
# Fails on the first round that ends otherwise than cleanly (a signal above all). Not in CI: it
# takes minutes; CI runs one such round in application_zordemo and application_setup.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-200}
side=${2:-2}
build=$root/build/release
"$root/scripts/build.sh" "$build" --target zordemo zorgrabc zorregister -DCMAKE_BUILD_TYPE=Release
work=$(mktemp -d /tmp/browser-stop-stress.XXXXXX)
chmod 755 "$work"
spinners=()
cleanup() {
  for pid in "${spinners[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# The installer's registry values, once; each lane gets a copy of its own (the port differs).
ZOR_REGISTRY_ROOT=$work/registry "$build/bin/zorsetup" >/dev/null

users=(self)
[ "$(id -u)" -eq 0 ] && users+=(other)

# lane <user> <name>: ROUNDS rounds in a folder of the lane's own.
lane() {
  local who=$1 dir=$work/$2
  mkdir -p "$dir/home" "$dir/xmlrepository"
  cp -r "$work/registry" "$dir/registry"
  local as=()
  if [ "$who" = other ]; then
    chown -R nobody "$dir"
    as=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
  fi
  local run=("${as[@]}" env -i HOME="$dir/home" PATH=/usr/local/bin:/usr/bin:/bin
    ZOR_REGISTRY_ROOT="$dir/registry" ZOR_GENICAM_PATH="$build/share/zor/genicam"
    ZOR_XML_REPOSITORY="$dir/xmlrepository" ZOR_BOARDSIM_FRAME_US=5000)
  local round port
  for round in $(seq "$rounds"); do
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    "${run[@]}" "$build/bin/zorregister" \
      'HKEY_LOCAL_MACHINE\Software\Velant\Imaging Board\DravionLyn\Parameters' \
      FeatureBrowserServerPortNumber "dword:$port" >/dev/null
    if ! "${run[@]}" python3 "$root/tests/application/browsercheck.py" "$port" \
      "$build/bin/zordemo" --browser >"$dir/round.log" 2>&1; then
      echo "browser-stop-stress.sh: round $round of lane $2 ($who) failed:" >&2
      cat "$dir/round.log" >&2
      return 1
    fi
  done
  echo "browser-stop-stress.sh: lane $2 ($who): $rounds rounds, every one clean"
}

for _ in $(seq "$(nproc)"); do
  (while :; do :; done) &
  spinners+=($!)
done
lanes=()
for who in "${users[@]}"; do
  for n in $(seq "$side"); do
    lane "$who" "$who-$n" &
    lanes+=($!)
  done
done
failed=0
for pid in "${lanes[@]}"; do wait "$pid" || failed=1; done
[ "$failed" -eq 0 ] || exit 1
echo "browser-stop-stress.sh: ${#lanes[@]} lanes of $rounds rounds passed on a loaded machine"
