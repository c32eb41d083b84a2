#!/usr/bin/env bash
# tests/examples/hostileinput.sh <tool> <binary> <work> [data folder]: runs a tool on input an
# attacker hands over (nesting hundreds of thousands deep, absurd sizes). Each must end with a
# message on stderr and the tool's failure status: no crash, no abort, no hang.
set -euo pipefail
tool=$1 binary=$2 work=$3/$1 data=${4:-}
rm -rf "$work" && mkdir -p "$work"
cd "$work"
failures=0

# check <name> <expected status> <text on stdout or stderr> <args...>
check() {
  local name=$1 expected=$2 text=$3 status=0
  shift 3
  timeout 120 "$binary" "$@" >out.txt 2>err.txt || status=$?
  if [ "$status" -ne "$expected" ]; then
    echo "hostileinput.sh: FAILED: $tool $name exited $status, not $expected:" >&2
    head -c 2000 out.txt err.txt >&2
    failures=$((failures + 1))
  elif ! grep -qF -- "$text" out.txt err.txt; then
    echo "hostileinput.sh: FAILED: $tool $name did not say '$text':" >&2
    head -c 2000 out.txt err.txt >&2
    failures=$((failures + 1))
  fi
}

brackets() { head -c "$2" /dev/zero | tr '\0' "$1"; }

# Chain files of both tools that run against a simulated chain.
brackets '[' 300000 >deep.json
echo '{"devices": [{"type": "isc", "irLength": 8, "words": "0x7FFFFFFF"}]}' >huge.json

case $tool in
  zorstapl)
    printf 'ACTION A = P;\nPROCEDURE P;\nINTEGER I;\nI = %s1%s;\nENDPROC;\nCRC 0000;\n' \
      "$(brackets '(' 300000)" "$(brackets ')' 300000)" >deep.stp
    printf 'ACTION A = P;\nPROCEDURE P;\nBOOLEAN B[2147483647];\nINTEGER I[33554432];\nENDPROC;\nCRC 0000;\n' \
      >huge.stp
    check deep-chain 255 "chain file: " deep.json deep.stp A
    check huge-chain 255 "programmable memory larger than" huge.json deep.stp A
    check deep-expression 255 "Error on line 4" "$data/sf2.json" deep.stp A
    check huge-arrays 255 "out of memory" "$data/sf2.json" huge.stp A
    ;;
  zorisc)
    check deep-chain 2 "chain file: " deep.json -i none.cmd
    check huge-chain 2 "programmable memory larger than" huge.json -i none.cmd
    ;;
  zorregister)
    export ZOR_REGISTRY_ROOT=$work/registry
    key='HKEY_CURRENT_USER\Software'
    for _ in $(seq 3000); do key+='\k'; done
    check deep-key 1 "at most 512 levels" "$key" Value text
    [ -z "$(ls -A "$ZOR_REGISTRY_ROOT/HKEY_CURRENT_USER" 2>/dev/null)" ] ||
      { echo "hostileinput.sh: FAILED: the refused key left folders behind" >&2; failures=$((failures + 1)); }
    check long-name 1 "of at most 255 characters" "HKEY_CURRENT_USER\\$(brackets x 100000)" Value text
    # Values of about a MiB each in the key's file, until the file would pass its 4 MiB bound.
    big=$(brackets v 120000)
    for n in 1 2 3 4; do "$binary" 'HKEY_CURRENT_USER\Software\Big' "v$n" "$big"; done
    check too-large 1 "would be larger than 4 MiB" 'HKEY_CURRENT_USER\Software\Big' v5 "$big"
    ;;
  *)
    echo "hostileinput.sh: unknown tool $tool" >&2
    exit 2
    ;;
esac

[ "$failures" -eq 0 ] || exit 1
echo "hostileinput.sh: $tool refused every hostile input"
