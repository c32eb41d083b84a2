#!/usr/bin/env bash
# tests/application/tools.sh <prefix> <work>: the installed tools as a user meets them first.
# Each answers --help and -h with its usage on stdout and status 0, and an unknown option or a
# missing argument with the usage on stderr and status 2. Then the commands that the manual
# pages of zorisc and zorstapl show run the examples from the installed documentation, from
# its folder, which the user may not write.
set -euo pipefail
prefix=$1 work=$2
rm -rf "$work" && mkdir -p "$work"
check=tools.sh outputs=$work
# shellcheck source=tests/application/outcome.sh
. "$(dirname "$0")/outcome.sh"

# A wrong command line of each tool: an argument missing, or one too many where none is needed.
declare -A missing=(
  [zordemo]="--out" [zorisc]="" [zorregister]="HKEY_CURRENT_USER\\Software Name"
  [zorsetup]="--etc" [zorstapl]="chain.json flash.stp" [featurebrowser.exe]="a b"
)

programs=("$prefix"/bin/* "$prefix/share/zor/tools/featurebrowser/featurebrowser.exe")
for program in "${programs[@]}"; do
  name=$(basename "$program")
  for option in --help -h; do
    run_program 0 "$program" "$option"
    head -n 1 "$work/out.txt" | grep -q "^usage: $name" || fail "$name $option: $(cat "$work/out.txt")"
    [ -s "$work/err.txt" ] && fail "$name $option wrote to stderr: $(cat "$work/err.txt")"
  done
  [ -n "${missing[$name]+set}" ] || { fail "$name: no wrong command line to try"; continue; }
  read -ra wrong <<<"${missing[$name]}"
  for args in "--no-such-option" "${wrong[*]}"; do
    read -ra words <<<"$args"
    run_program 2 "$program" "${words[@]}"
    grep -q "usage: $name" "$work/err.txt" || fail "$name $args: no usage on stderr: $(cat "$work/err.txt")"
    [ -s "$work/out.txt" ] && fail "$name $args wrote to stdout: $(cat "$work/out.txt")"
  done
done

# "--" ends the options: a word after it is an operand even when it starts with '-', and "--"
# itself is none. Each line is a usage error that only such a reading gives.
declare -A ended=(
  [zordemo]="-- -a.dcf -b.dcf|more than one camera file: -b.dcf" [zorisc]="-- -c.json|missing"
  [zorregister]="-- -k Name|missing" [zorsetup]="-- -x|no arguments are taken: -x"
  [zorstapl]="-- -c.json flash.stp|missing"
)
for name in "${!ended[@]}"; do
  IFS='|' read -r args text <<<"${ended[$name]}"
  read -ra words <<<"$args"
  run_program 2 "$prefix/bin/$name" "${words[@]}"
  grep -qF -- "$name: $text" "$work/err.txt" || fail "$name $args: no '$text': $(cat "$work/err.txt")"
done

# The EXAMPLES of a manual page: the lines between .nf and .fi, as the page shows them.
examples() {
  gzip -dc "$prefix/share/man/man1/$1.1.gz" |
    sed -n '/^\.SH EXAMPLES/,/^\.SH/{/^\.nf/,/^\.fi/{/^\./d;s/\\-/-/g;p}}'
}

export PATH=$prefix/bin:$PATH
declare -A shown=()  # command -> what it printed
for tool in zorisc zorstapl; do
  commands=$(examples "$tool")
  grep -qx "cd /usr/share/doc/zor-dravionlyn/examples" <<<"$commands" ||
    fail "$tool(1) shows no folder of examples: $commands"
  while IFS= read -r command; do
    case $command in
      "cd /usr/"*) cd "$prefix/${command#cd /usr/}" ;;
      *)
        read -ra words <<<"$command"
        run_program 0 "${words[@]}"
        shown[$command]=$(cat "$work/out.txt")
        ;;
    esac
  done <<<"$commands"
done

# expect <command> <line>: the manual page shows the command, and what it printed has the line.
expect() {
  if [ -z "${shown[$1]+set}" ]; then
    fail "no manual page shows $1"
  elif ! grep -qxF -- "$2" <<<"${shown[$1]}"; then
    fail "$1 printed no '$2': ${shown[$1]}"
  fi
}
expect "zorisc chain.json -i program.cmd" "zorisc: PASS (failure word 0)"
expect "zorisc chain.json -m concurrent -i program.cmd" "zorisc: PASS (failure word 0)"
expect "zorstapl chain.json flash.stp READ_IDCODE" "IDCODE of the flash: 19088743"
expect "zorstapl chain.json flash.stp PROGRAM" "Verified 4 words."
expect "zorstapl chain.json flash.stp PROGRAM DO_VERIFY=0" "Programmed 4 words."
if grep -q Verified <<<"${shown["zorstapl chain.json flash.stp PROGRAM DO_VERIFY=0"]-}"; then
  fail "DO_VERIFY=0 verified all the same"
fi

[ "$failures" -eq 0 ] || exit 1
echo "tools.sh: every check passed"
