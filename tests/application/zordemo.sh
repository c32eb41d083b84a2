#!/usr/bin/env bash
# tests/application/zordemo.sh <prefix> <work>: the installed zordemo's options, exit codes and
# messages, run as a user runs it.
set -euo pipefail
prefix=$1 work=$2/zordemo
demo=$prefix/bin/zordemo
rm -rf "$work" && mkdir -p "$work"
cd "$work"
check=zordemo.sh
# shellcheck source=tests/application/outcome.sh
. "$(dirname "$0")/outcome.sh"

# run <expected status> <args...>: runs zordemo, keeps stdout in out.txt and stderr in err.txt.
run() {
  run_program "$1" "$demo" "${@:2}"
}

expect() {  # expect <file> <text>
  grep -qF -- "$2" "$1" || fail "$1 lacks '$2': $(cat "$1")"
}

refuse() {  # refuse <file> <text>
  if grep -qF -- "$2" "$1"; then fail "$1 has '$2'"; fi
}

register() {
  "$prefix/bin/zorregister" "HKEY_LOCAL_MACHINE\\Software\\Velant\\Imaging Board\\DravionLyn$1" \
    "$2" "$3" >/dev/null
}

# Usage: --help is not an error; mistakes say what they are, then the usage text.
run 0 --help
expect out.txt "usage: zordemo"
expect out.txt "--out DIR"
for args in "--frobnicate" "--out" "--continuous 0" "--continuous 5 40" "a.dcf b.dcf" \
            "--browser --continuous 5"; do
  # shellcheck disable=SC2086 # the words are the arguments
  run 2 $args
  expect err.txt "usage: zordemo"
  [ -s out.txt ] && fail "zordemo $args wrote to stdout: $(cat out.txt)"
done
run 2 --frobnicate
expect err.txt "zordemo: unknown option --frobnicate"

# No GenICam installation named: the system fails with every text of the error.
export ZOR_REGISTRY_ROOT=$work/registry
mkdir -p "$ZOR_REGISTRY_ROOT"
register "" DCFPATH "$prefix/share/zor/dravionlyn/dcf"
register "" FirmwarePath "$prefix/share/zor/dravionlyn/firmware"
export ZOR_BOARDSIM_FRAME_US=5000
unset ZOR_GENICAM_PATH ZOR_XML_REPOSITORY
run 1
expect out.txt "zordemo: no Dravion Lyn system"
expect out.txt "error 4421"
expect out.txt "ZOR_GENICAM_PATH"

export ZOR_GENICAM_PATH=$prefix/share/zor/genicam
export ZOR_XML_REPOSITORY=$work/xmlrepository
run 1 no-such-camera.dcf
expect out.txt "zordemo: no digitizer from no-such-camera.dcf"
expect out.txt "error 4312"

# Frames go into the folder named; error ranges only when asked for.
run 0 --out frames
for n in 1 2 3; do
  [ "$(head -c 4 "frames/zordemo-frame-$n.png" | tail -c 3)" = PNG ] || fail "frame $n is no PNG"
done
ls zordemo-frame-* >/dev/null 2>&1 && fail "frames written to the current folder"
refuse out.txt "error range"
run 0 --errors --out frames
expect out.txt "error range"

# The feature browser: the address the server bound, and the server's error when the port is
# taken. Ports come from the system, so that parallel runs do not meet.
register "" InstallDir "$prefix/share/zor"
register "\\Parameters" FeatureBrowserServer dword:1
"$prefix/bin/zorregister" 'HKEY_LOCAL_MACHINE\Software\Velant\Velant Zor Library\Runtime\Install' \
  InstallDir "$prefix/share/zor" >/dev/null
# A free port, taken by the system, then given back: the page, and a feature through its
# WebSocket.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
register "\\Parameters" FeatureBrowserServerPortNumber "dword:$port"
python3 "$(dirname "$0")/browsercheck.py" "$port" "$demo" --browser >browser.txt 2>&1 ||
  fail "zordemo --browser: $(cat browser.txt)"
python3 - "$demo" "$prefix" <<'PY' || failures=$((failures + 1))
import socket, subprocess, sys

demo, prefix = sys.argv[1], sys.argv[2]
registry = ["HKEY_LOCAL_MACHINE\\Software\\Velant\\Imaging Board\\DravionLyn\\Parameters",
            "FeatureBrowserServerPortNumber"]

# The port held by another program: the server's error, no address, exit 1.
holder = socket.socket()
holder.bind(("127.0.0.1", 0))
holder.listen()
subprocess.run([prefix + "/bin/zorregister", *registry, "dword:%d" % holder.getsockname()[1]],
               check=True, stdout=subprocess.DEVNULL)
taken = subprocess.run([demo, "--browser"], capture_output=True, text=True, timeout=60)
holder.close()
assert taken.returncode == 1, "exit %d: %s" % (taken.returncode, taken.stdout)
assert "feature browser at" not in taken.stdout, taken.stdout
assert "error 4436" in taken.stdout, taken.stdout
PY

[ "$failures" -eq 0 ] || exit 1
echo "zordemo.sh: every check passed"
