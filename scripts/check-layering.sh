#!/usr/bin/env bash
# scripts/check-layering.sh [repository]: checks who may include whom; run by ctest.
#
# - interfaces/ holds contracts owned by neither side: it includes only interfaces/.
# - platform/ stands in for what is not ours: it never includes driver/.
# - driver/ reaches the platform only through the stand-ins' public headers:
#     platform/host     zor.h, qtypes.h, hostservices.h, bufferdescription.h (the host
#                       library's application API, shared types and Host services);
#     platform/os       every header but the ones that only serve its own sources (handle
#                       objects, storage paths, registry files, waitable internals, device files,
#                       case folding, console prompts, the serial port's termios plumbing);
#     platform/genapi   genapi.h and the api/, base/, nodemap/ and firmwareupdate/ headers (the
#                       GenICam interfaces), never the node, formula or XML internals;
#     platform/boardsim nothing: the board is reached through interfaces/kernel and os devices.
# - driver/'s folders are layers; a layer includes itself and the layers below it, never one
#   above it or beside it:
#       foundation < ieee1532 < firmware < board
#       foundation < frameworkuser < board
#       foundation < resources
#   The firmware side runs the IEEE 1532 engine; the engine reaches the firmware side's JTAG
#   port through interfaces/jtag only. The device layer (frameworkuser) owns the serial ports;
#   the board builds on it and on the firmware check. Files directly in driver/ assemble the
#   library and may include any layer; every layer may include the error codes' names.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

os_internal='^platform/os/(core/object|core/paths|registry/key_file|registry/processor_keys|sync/waitable|device/device_file|text/upper_case|ui/console_message|serial/port_core|serial/port_paths|serial/baud_rate|serial/line_settings|serial/serial_port)\.h$'
host_public='^platform/host/(zor|qtypes|hostservices|bufferdescription)\.h$'
genapi_public='^platform/genapi/(genapi\.h|(api|base|nodemap|firmwareupdate)/[^/]+\.h)$'

failures=0
report() {
  echo "$1: includes \"$2\" ($3)"
  failures=$((failures + 1))
}

# Prints "file<TAB>included path" for every quoted include of the given folder, in file order.
includes() {
  grep -rHoE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"]+"' --include='*.h' --include='*.cpp' \
    "$1" 2>/dev/null | sed -E 's/:[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"]+)"/\t\1/' |
    LC_ALL=C sort || true
}

# The layers each layer of driver/ builds on.
declare -A layers_below=(
  [foundation]=""
  [ieee1532]="foundation"
  [firmware]="foundation ieee1532"
  [frameworkuser]="foundation"
  [board]="foundation ieee1532 firmware frameworkuser"
  [resources]="foundation"
)

# Sets the variable named $1 to the layer of the path $2 in driver/: its first folder; empty
# for the files directly in driver/.
layer_of() {
  local -n layer=$1
  local rest=${2#driver/}
  layer=""
  if [[ $rest == */* ]]; then layer=${rest%%/*}; fi
}

check_contracts() {
  while IFS=$'\t' read -r file path; do
    [ -n "$file" ] || continue
    case $path in
      interfaces/*) ;;
      *) report "$file" "$path" "a contract includes only other contracts" ;;
    esac
  done < <(includes interfaces)
}

check_platform() {
  while IFS=$'\t' read -r file path; do
    [ -n "$file" ] || continue
    case $path in
      driver/*) report "$file" "$path" "the platform never includes the driver" ;;
    esac
  done < <(includes platform)
}

check_driver_platform() {
  while IFS=$'\t' read -r file path; do
    [ -n "$file" ] || continue
    case $path in
      platform/os/*)
        if [[ $path =~ $os_internal ]]; then report "$file" "$path" "an os internal"; fi ;;
      platform/host/*)
        if ! [[ $path =~ $host_public ]]; then report "$file" "$path" "not a host library header"; fi ;;
      platform/genapi/*)
        if ! [[ $path =~ $genapi_public ]]; then report "$file" "$path" "a GenICam runtime internal"; fi ;;
      platform/*) report "$file" "$path" "the driver does not include this stand-in" ;;
    esac
  done < <(includes driver)
}

check_driver_layers() {
  local file path from to
  while IFS=$'\t' read -r file path; do
    [ -n "$file" ] || continue
    case $path in driver/*) ;; *) continue ;; esac
    # The error codes' names serve every layer that records an error.
    [ "$path" != driver/frameworkuser/errortable/errorcodes.h ] || continue
    layer_of from "$file"
    layer_of to "$path"
    [ -n "$from" ] && [ "$from" != "$to" ] || continue
    if [ -z "${layers_below[$from]+set}" ]; then
      report "$file" "$path" "driver/$from has no place in the layer order"
    elif [[ " ${layers_below[$from]} " != *" $to "* ]]; then
      report "$file" "$path" "$from does not build on ${to:-driver/}"
    fi
  done < <(includes driver)
}

check_contracts
check_platform
check_driver_platform
check_driver_layers

if [ "$failures" -ne 0 ]; then
  echo "$failures include(s) cross the layers"
  exit 1
fi
echo "layering: clean"

# Error codes are named once, in driver/frameworkuser/errortable/errorcodes.h beside the message
# table. An error-code literal is a decimal number of the table's block (4300 to 4499) that is
#   - the code handed to an error recorder: the first argument of a call whose name holds
#     "Error", "Report" or "Record" (SetError, CError, RaiseUartError, Report, ...), or the
#     second of HostFuncErrorReport;
#   - compared with or assigned to an error code: code, a name ending in ErrorCode or errorCode,
#     GetCodeA or GetCodeB (error.code, ctx.ErrorCode(), errorCode_, e.GetCodeA()), not opcode
#     or subCode;
#   - the value of a named constant that is handed to a recorder or compared with a code, or
#     whose name ends in "Error".
# Inquire and control types share the block's numbers ("case 4385:", "type == 4364"), as do
# pixel values and opcodes; they are none of these and pass, as do comments.
code_literal='4[34][0-9]{2}\b'
recorder_call='\b[[:alnum:]_]*(Error|Report|Record)[[:alnum:]_]*\([[:space:]]*'
host_report='\bHostFuncErrorReport\([^,]*,[[:space:]]*'
code_name='\b(code|[[:alnum:]_]*[Ee]rrorCode|GetCode[AB])_?(\(\))?'
code_compare="$code_name[[:space:]]*(==|!=|=)[[:space:]]*"

# Prints "file:line:text" of the driver's sources outside the table, comments removed.
driver_code() {
  [ -d driver ] || return 0
  find driver -name '*.h' -o -name '*.cpp' 2>/dev/null | sort | while read -r file; do
    case $file in
      driver/frameworkuser/errortable/errorcodes.h | driver/frameworkuser/errortable/messagetable.*) ;;
      *) sed -E 's://.*$::' "$file" | grep -n '' | sed "s|^|$file:|" ;;
    esac
  done
}

code_lines=$(driver_code)
code_names=$(grep -oE "($recorder_call|$host_report|$code_compare)k[[:alnum:]_]+" <<<"$code_lines" |
  grep -oE 'k[[:alnum:]_]+$' | sort -u | paste -sd'|' || true)
named_constant="\\b(${code_names:+$code_names|}k[[:alnum:]_]*Error)[[:space:]]*(=|\\{)[[:space:]]*"
literals=$(grep -E "($recorder_call|$host_report|$code_compare|$named_constant)$code_literal|\\b$code_literal[[:space:]]*(==|!=)[[:space:]]*([[:alnum:]_]+\\.)?$code_name" \
  <<<"$code_lines" || true)
if [ -n "$literals" ]; then
  sed -E 's/^([^:]+:[0-9]+):[[:space:]]*(.*)$/\1: numeric error code: \2/' <<<"$literals"
  echo "$(wc -l <<<"$literals") numeric error code(s) outside the message table"
  exit 1
fi
echo "error codes: named once"

# Protocol numbers are named: a case label in driver/ is a name ("case Q_GRAB_TIMEOUT:"), not a
# number ("case 4127:"), and so is what a value is compared with ("type == 4054", "4054 != type")
# or tested against in a range ("InRange(type, 69555, 69559)"), where a number of four digits or
# more, decimal or hexadecimal, is a protocol's: smaller ones are counts, bytes and bit depths.
# The numbers that stay (bit positions, register field values, bit depths, ...) are listed in
# scripts/numeric-literals.txt, a line per file: the file, the numbers it may hold in these
# places, then " -- " and why they stay numbers.
allowed_numbers=scripts/numeric-literals.txt
numeric_literals=$(awk -v allowed="$allowed_numbers" '
  BEGIN {
    while ((getline entry < allowed) > 0) {
      if (entry ~ /^[[:space:]]*(#|$)/) continue
      split(entry, parts, / -- /)
      count = split(parts[1], words, /[[:space:]]+/)
      for (i = 2; i <= count; i++) allow[words[1] " " tolower(words[i])] = 1
    }
    number = "-?(0[xX][0-9A-Fa-f]+|[0-9]+)"
    large = "-?(0[xX][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]+|[0-9][0-9][0-9][0-9]+)"
    compared = "(==|!=)[[:space:]]*" large "|(^|[^[:alnum:]_.])" large "[[:space:]]*(==|!=)"
    ranged = "InRange\\(([^,;|&?]*,)+[[:space:]]*" large
  }
  # Prints the line once when rest holds a match of pattern whose number the file may not hold.
  function refuse(rest, pattern, what,    found, literal) {
    while (match(rest, pattern)) {
      found = substr(rest, RSTART, RLENGTH)
      rest = substr(rest, RSTART + RLENGTH)
      match(found, what == "case label" ? number "$" : large)
      literal = substr(found, RSTART, RLENGTH)
      if (!((where[1] " " tolower(literal)) in allow)) {
        gsub(/^[[:space:]]+|[[:space:]]+$/, "", text)
        print where[1] ":" where[2] ": numeric " what ": " text
        return 1
      }
    }
    return 0
  }
  {
    split($0, where, ":")
    text = substr($0, length(where[1]) + length(where[2]) + 3)
    if (refuse(text, "(^|[^[:alnum:]_])case[[:space:]]+" number, "case label")) next
    if (refuse(text, compared, "comparison")) next
    refuse(text, ranged, "range")
  }' <<<"$code_lines")
if [ -n "$numeric_literals" ]; then
  echo "$numeric_literals"
  echo "$(wc -l <<<"$numeric_literals") numeric literal(s) that $allowed_numbers does not allow"
  exit 1
fi
echo "case labels and comparisons: named"

# Protocol types are named once. A name of driver/frameworkuser/protocol/ is no name of
# platform/host/qtypes.h (where that header names a number, the driver uses its name), one
# header names no number twice, and a name that the digitizer's or system's own node map gives a
# register names the register's type.
protocol_names=""
declare -A node_map=([digitizertypes.h]=QdigControl [systemtypes.h]=QsysControl)
for header in driver/frameworkuser/protocol/*.h; do
  [ -f "$header" ] || continue
  map=driver/resources/genicamxml/${node_map[${header##*/}]:-none}_dravion-lyn.xml
  protocol_names+=$(awk -v header="$header" -v qtypes=platform/host/qtypes.h -v map="$map" '
    function number(text,    value, i) {
      if (text !~ /^0[xX]/) return text + 0
      value = 0
      for (i = 3; i <= length(text); i++) value = value * 16 + index("0123456789abcdef", tolower(substr(text, i, 1))) - 1
      return value
    }
    BEGIN {
      while ((getline line < qtypes) > 0) {
        if (match(line, /(constexpr QINT64|#define)[[:space:]]+Q_[[:alnum:]_]+/)) {
          name = substr(line, RSTART, RLENGTH)
          sub(/.*[[:space:]]/, "", name)
          public[name] = 1
        }
      }
      while ((getline line < map) > 0) {
        if (match(line, /Name="Q_[[:alnum:]_]+_Register"/)) {
          register = substr(line, RSTART + 6, RLENGTH - 7)
          sub(/_Register$/, "", register)
        } else if (register != "" && match(line, /<Address>[^<]+<\/Address>/)) {
          address[register] = number(substr(line, RSTART + 9, RLENGTH - 19))
          register = ""
        }
      }
    }
    match($0, /constexpr [[:alnum:]_]+ [[:alnum:]_]+ = (0[xX][0-9A-Fa-f]+|-?[0-9]+);/) {
      split(substr($0, RSTART, RLENGTH), words, /[[:space:]=;]+/)
      name = words[3]
      value = number(words[4])
      if (name in public) print header ":" FNR ": " name " is named in qtypes.h"
      if (value in named) print header ":" FNR ": " name " names " words[4] " as " named[value] " does"
      named[value] = name
      if ((name in address) && address[name] != value) {
        print header ":" FNR ": " name " is " address[name] " in " map
      }
    }' "$header")$'\n'
done
protocol_names=$(grep -v '^$' <<<"$protocol_names" || true)
if [ -n "$protocol_names" ]; then
  echo "$protocol_names"
  echo "$(wc -l <<<"$protocol_names") protocol name(s) given twice or unlike the public ones"
  exit 1
fi
echo "protocol types: named once"
