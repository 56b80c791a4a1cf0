#!/bin/sh
# Runs apdesk on the simulated controller streaming "$STP" at 50 Hz and prints
# the process's share of one core and the longest time the user-interface
# thread was busy without coming back to its event loop (from apdesk's own
# watch, enabled by APDESK_UI_WATCH: processor time of that thread between two
# 10 ms ticks). The wall-clock stall is printed too; on a loaded machine it
# also holds the time the thread waited for a core. Targets: under 10 % of a
# core (15 % with the telemetry plots and the link inspector open), at most
# 16 ms busy at a time, window shown within 1 s.
#
#   bench/ui/measure_ui.sh [BIN_DIR]      (default: build/bin of this tree)
#   MEASURE_SECONDS=20 WARMUP_SECONDS=3 RATE_HZ=50 bench/ui/measure_ui.sh
#   OPEN_WINDOWS=plots,inspector bench/ui/measure_ui.sh   (apdesk --open: the windows beside it)
#
# Runs offscreen unless QT_QPA_PLATFORM says otherwise (e.g. xcb under Xvfb).
# The first WARMUP_SECONDS hold the start and the Open USB command, whose
# pauses (100 ms settle, 50 ms per frame) are deliberate; they are not measured.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build/bin}
measure=${MEASURE_SECONDS:-10}
warmup=${WARMUP_SECONDS:-3}
rate=${RATE_HZ:-50}
open=${OPEN_WINDOWS:-}
target=10
[ -n "$open" ] && target=15

if [ ! -x "$bin/apdesk" ]; then
  echo "measure_ui: no apdesk in $bin (build it first)" >&2
  exit 2
fi

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export APDESK_UI_WATCH=1
log=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$log" "$work"' EXIT

# Its own folder for the settings and flight record files.
cp "$bin/apdesk" "$work/apdesk"
[ -d "$bin/Language" ] && cp -r "$bin/Language" "$work/Language"
if [ -n "$open" ]; then
  (cd "$work" && exec ./apdesk --simulate --sim-rate "$rate" --open "$open") 2>"$log" &
else
  (cd "$work" && exec ./apdesk --simulate --sim-rate "$rate") 2>"$log" &
fi
pid=$!

# utime + stime of the process, in clock ticks (fields 14 and 15 after the
# command name, which may hold blanks).
ticks() {
  sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

sleep "$warmup"
if ! kill -0 "$pid" 2>/dev/null; then
  echo "measure_ui: apdesk ended early:" >&2
  cat "$log" >&2
  exit 1
fi
c0=$(ticks "$pid")
t0=$(date +%s.%N)
sleep "$measure"
c1=$(ticks "$pid")
t1=$(date +%s.%N)
kill "$pid"
wait "$pid" 2>/dev/null || true

hz=$(getconf CLK_TCK)
awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v hz="$hz" \
    -v from="$warmup" -v to="$((warmup + measure))" -v rate="$rate" \
    -v load="$(cut -d' ' -f1 /proc/loadavg)" -v target="$target" -v open="$open" -f - "$log" <<'AWK'
/apdesk-watch: window-shown-ms=/ { split($2, a, "="); shown = a[2] }
/apdesk-watch: t-ms=/ {
  split($2, t, "="); split($3, s, "="); split($4, b, "=")
  if (t[2] > from * 1000 && t[2] <= to * 1000 + 500) {
    if (s[2] + 0 > stall) stall = s[2] + 0
    if (b[2] + 0 > busy) busy = b[2] + 0
    n++
  }
}
END {
  cpu = (c1 - c0) / hz / (t1 - t0) * 100
  printf "telemetry rate:        %d Hz\n", rate
  printf "windows open:          main%s\n", open == "" ? "" : ", " open
  printf "measured for:          %.1f s\n", t1 - t0
  printf "cpu share of one core: %.1f %% (target < %d %%) %s\n", cpu, target, cpu < target ? "ok" : "MISSED"
  printf "longest ui busy spell: %.1f ms over %d one-second windows (target <= 16 ms) %s\n", busy, n, \
         (n > 0 && busy <= 16) ? "ok" : "MISSED"
  printf "longest ui stall:      %d ms by the wall clock (load average %s)\n", stall, load
  printf "window shown after:    %s ms (target <= 1000 ms) %s\n", shown == "" ? "?" : shown, \
         (shown != "" && shown <= 1000) ? "ok" : "MISSED"
  exit (cpu < target && n > 0 && busy <= 16 && shown != "" && shown <= 1000) ? 0 : 1
}
AWK
