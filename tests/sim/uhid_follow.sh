#!/bin/sh
# Runs inside tools/hidvm: apctl monitor --follow --record over a real kernel
# HID device (apsim --uhid, found through hidapi's hidraw back end) that is
# removed and made again. The monitor must say so once each way, go on, and
# keep every record it showed in its one record file. Exits 77 where there is
# no /dev/uhid. Usage: uhid_follow.sh FOLDER_OF_APCTL_AND_APSIM
set -u
bin=$1
say() { echo "uhid_follow: $*"; }
fail() { say "FAILED: $*"; [ -f err.txt ] && cat err.txt; exit 1; }
[ -w /dev/uhid ] || { say "no /dev/uhid here: skipped"; exit 77; }
work=$(mktemp -d) && cd "$work" || exit 1

# until COMMAND succeeds, for up to N tenths of a second
within() { n=$1; shift; i=0; until "$@"; do [ $i -ge "$n" ] && return 1; sleep 0.1; i=$((i + 1)); done; }
hidraw_present() { ls /dev/hidraw* >/dev/null 2>&1; }
hidraw_gone() { ! hidraw_present; }
lines() { wc -l < out.txt; }

say "1 device made"
"$bin/apsim" --uhid --rate 20 --no-garbage >/dev/null & sim=$!
within 100 hidraw_present || fail "no hidraw node appeared"
"$bin/apctl" monitor --follow --record >out.txt 2>err.txt & mon=$!
within 100 test -s out.txt || fail "no telemetry"
sleep 1
before=$(lines)

say "2 device removed"
kill -TERM $sim; wait $sim
within 50 hidraw_gone || fail "the hidraw node stayed"
within 50 grep -q "waiting for it to return" err.txt || fail "the loss was not said"
sleep 1.5

say "3 device made again"
"$bin/apsim" --uhid --rate 20 --no-garbage >/dev/null & sim=$!
t0=$(date +%s%N)
at_return=$(lines)
grows() { [ "$(lines)" -gt "$at_return" ]; }
i=0; until grows; do [ $i -ge 500 ] && fail "no telemetry after the return"; sleep 0.02; i=$((i + 1)); done
t1=$(date +%s%N)
sleep 1.5
kill -INT $mon; wait $mon; status=$?
kill -TERM $sim; wait $sim

say "4 checks"
[ $status -eq 0 ] || fail "monitor ended with $status"
[ "$(grep -c 'waiting for it to return' err.txt)" -eq 1 ] || fail "the loss was not said once"
[ "$(grep -c 'the device is back after' err.txt)" -eq 1 ] || fail "the return was not said once"
shown=$(lines)
[ "$before" -ge 5 ] && [ "$shown" -ge $((at_return + 10)) ] || fail "too few records ($before, $at_return, $shown)"
file=$(ls Hj/*.hj) || fail "no record file"
[ "$(ls Hj | wc -l)" -eq 1 ] || fail "more than one record file"
[ "$(stat -c %s "$file")" -eq $((shown * 99)) ] || fail "the record file does not hold the $shown records shown"
grep -q "($shown records)" err.txt || fail "monitor did not record every record shown"
cat err.txt
say "talking again $(( (t1 - t0) / 1000000 )) ms after the device was made again"
say "PASS"
