# shellcheck shell=bash
# Sourced by the checks that run installed programs as a user does: failures are counted, and a
# program's output is kept for the checks that follow it. $check names the script in messages;
# the output goes into $outputs (the current folder unless set).
# shellcheck disable=SC2154 # check is the sourcing script's
failures=0

fail() {
  echo "$check: FAILED: $*" >&2
  failures=$((failures + 1))
}

# run_program <expected status> <program> <args...>: stdout in out.txt, stderr in err.txt.
run_program() {
  local expected=$1 status=0 out=${outputs:-.}/out.txt err=${outputs:-.}/err.txt
  shift
  "$@" >"$out" 2>"$err" || status=$?
  [ "$status" -eq "$expected" ] || fail "$* exited $status, not $expected: $(cat "$out" "$err")"
}
