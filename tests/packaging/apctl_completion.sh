#!/usr/bin/env bash
# The installed bash completion of apctl, driven as bash drives it: the line
# typed so far in COMP_LINE, the replies read from COMPREPLY.
set -uo pipefail
usr=$(cd "$1" && pwd -P)
apctl=$usr/bin/apctl
# shellcheck disable=SC1091
source "$usr/share/bash-completion/completions/apctl" || exit 1
complete -p apctl >/dev/null || { echo "FAIL: the file registers no completion for apctl" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/images" "$work/flights"
touch "$work/images/fw.bin" "$work/images/notes.txt" "$work/flights/a.hj" "$work/flights/a.csv" "$work/ap.sock"
cd "$work" || exit 1
COMP_WORDBREAKS=$' \t\n"\'><=;|&(:'

failures=0
# expect LINE WANTED: the sorted replies for LINE (cursor at its end).
expect() {
  local line=$1 want=$2 got
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  _apctl
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ')
  got=${got% }
  if [ "$got" != "$want" ]; then
    echo "FAIL: '$line' completes to '$got', wanted '$want'" >&2
    failures=$((failures + 1))
  fi
}

expect "$apctl " "calibrate compass-check defaults doctor inspect install-error map monitor params ports record share upgrade"
expect "$apctl inspect " "--seconds"
expect "$apctl share " "nmea"
expect "$apctl share nmea --" "--listen --pty"
expect "$apctl map " "export info prefetch"
expect "$apctl pa" "params"
expect "$apctl --" "--connect --help --json"
expect "$apctl --connect " "hidsock: serial: sim usb usb:"
expect "$apctl --connect s" "serial: sim"
expect "$apctl --connect=s" "serial: sim"
expect "$apctl --connect hidsock:ap" "ap.sock"
expect "$apctl --connect sim --json mon" "monitor"
expect "$apctl --connect sim monitor --" "--alerts --count --follow --record"
expect "$apctl --connect sim monitor --count " ""
expect "$apctl doctor --" "--udev-rule"
expect "$apctl defaults " "--yes"
expect "$apctl compass-check " "--seconds"
expect "$apctl params " "diff get history load restore save set"
expect "$apctl --connect sim params set max_s" "max_speed="
expect "$apctl params set max_speed=8 alt" "altitude_limit="
expect "$apctl params set failsafe=" "hover land return-land"
expect "$apctl params set failsafe=h" "hover"
expect "$apctl params set aircraft_type=quad" "quad-cross quad-x"
expect "$apctl params set altitude_limit=" ""
expect "$apctl params set servo_frequency=" ""
expect "$apctl params set no_such=" ""
expect "$apctl params save " "ap.sock flights/ images/"
expect "$apctl upgrade images/" "images/fw.bin"
expect "$apctl record " "export info"
expect "$apctl record info flights/" "flights/a.hj"
expect "$apctl record export flights/a.hj -" "--format --out-dir -o"
expect "$apctl record export flights/a.hj --format " "csv gpx jsonl kml"
expect "$apctl record export flights/a.hj --format gpx -o fl" "flights/"

# Every command of apctl's table (apctl --commands) is named by --help and by
# the installed manual page's COMMANDS section, and completed.
commands=$("$apctl" --commands | sort | tr '\n' ' ')
commands=${commands% }
[ "$(wc -w <<<"$commands")" -ge 13 ] || { echo "FAIL: apctl --commands lists too few: $commands" >&2; failures=$((failures + 1)); }
expect "$apctl " "$commands"
help=$("$apctl" --help)$'\n'
section=$(zcat "$usr/share/man/man1/apctl.1.gz" | sed -n '/^\.SH COMMANDS/,/^\.SH PARAMETERS/p')
for c in $commands; do
  [[ $help == *$'\n  '"$c"[$' \n']* ]] || { echo "FAIL: apctl --help does not name $c" >&2; failures=$((failures + 1)); }
  [[ $section == *$'\n\\fB'"${c//-/\\-}"'\fR'* ]] || { echo "FAIL: man apctl does not name $c" >&2; failures=$((failures + 1)); }
done

# Every name of apctl --help is offered, and nothing else.
names=$("$apctl" --help | sed -n '/^parameter names and values:/,/^$/{s/^  \([a-z][a-z0-9_]*\)  .*/\1=/p}' | sort | tr '\n' ' ')
names=${names% }
[ "$(wc -w <<<"$names")" -ge 10 ] || { echo "FAIL: apctl --help lists too few names: $names" >&2; failures=$((failures + 1)); }
expect "$apctl params set " "$names"

[ $failures -eq 0 ] && echo "apctl completion: all cases pass"
exit $((failures > 0))
