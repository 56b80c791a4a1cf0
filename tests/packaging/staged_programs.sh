#!/usr/bin/env bash
# The staged programs run from the staged tree alone: apctl against its
# built-in simulator, apdesk offscreen, finding its language files in the
# staged share/apdesk/Language (there is no Language folder beside bin/).
set -uo pipefail
usr=$(cd "$1" && pwd -P)
work=$(mktemp -d)
apdesk_pid=""
cleanup() {
  if [ -n "$apdesk_pid" ]; then kill "$apdesk_pid" 2>/dev/null; wait "$apdesk_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1
export XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ ! -e "$usr/bin/Language" ] || fail "$usr/bin/Language exists, so the installed lookup is not what is tested"

# apctl: the simulator answers and the parameters come back by name.
out=$("$usr/bin/apctl" --connect sim params get 2>"$work/apctl.err")
rc=$?
[ $rc -eq 0 ] || fail "apctl --connect sim params get exited $rc: $(cat "$work/apctl.err")"
for name in failsafe max_speed altitude_limit aircraft_type; do
  grep -q "^$name\b" <<<"$out" || fail "apctl params get printed no $name: $out"
done

# apdesk --help names the language file the windows read, per locale.
for case in "C.UTF-8 Default.ini" "en_GB.UTF-8 Default.ini" "zh_CN.UTF-8 Chinese.ini"; do
  read -r locale file <<<"$case"
  want="Language file: $usr/share/apdesk/Language/$file"
  got=$(LC_ALL=$locale "$usr/bin/apdesk" --help 2>/dev/null | grep '^Language file:')
  [ "$got" = "$want" ] || fail "LC_ALL=$locale apdesk --help: '$got', wanted '$want'"
done

# A copy without the share/ tree says so instead of failing quietly.
mkdir -p "$work/alone/bin" && cp "$usr/bin/apdesk" "$work/alone/bin/"
got=$("$work/alone/bin/apdesk" --help 2>/dev/null | grep '^Language file:')
[[ $got == "Language file: none found in $work/alone/bin/Language/"* ]] ||
  fail "apdesk without language files: '$got'"

# apdesk starts offscreen on its simulated controller and paints its window.
APDESK_UI_WATCH=1 "$usr/bin/apdesk" --simulate 2>"$work/apdesk.err" &
apdesk_pid=$!
for _ in $(seq 1 300); do
  grep -q 'window-shown-ms=' "$work/apdesk.err" && break
  kill -0 "$apdesk_pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q 'window-shown-ms=' "$work/apdesk.err"; then
  fail "staged apdesk --simulate showed no window: $(cat "$work/apdesk.err")"
fi
kill "$apdesk_pid" 2>/dev/null
wait "$apdesk_pid" 2>/dev/null
apdesk_pid=""

[ $failures -eq 0 ] && echo "staged apctl and apdesk run from $usr"
exit $((failures > 0))
