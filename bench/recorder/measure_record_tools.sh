#!/bin/sh
# Measures apctl's record tools on a generated flight record of RECORDS
# records (default 1,000,000, 99 MB): `record info` and `record export` to
# CSV, GPX and KML. For each it prints the throughput over the record file's
# size by wall-clock time and by processor time (user + system; on a shared
# machine the wall clock also holds waits for a core), and the maximum
# resident memory. Targets: info >= 2,500 MB/s, CSV >= 500 MB/s, JSON Lines
# >= 250 MB/s, GPX and KML >= 150 MB/s, under 64 MB of memory whatever the
# file's size.
#
#   bench/recorder/measure_record_tools.sh [APCTL_BIN_DIR]   (default: build/bin of this tree)
#   RECORDS=1000000 RUNS=3 MAKE_RECORD_FILE=build/bin/make_record_file bench/recorder/measure_record_tools.sh
#
# The apctl measured may be of another version (for figures before and after
# a change); the record file is always made by this tree's make_record_file.
# Each case runs RUNS times; the fastest run (least disturbed) is shown.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build/bin}
records=${RECORDS:-1000000}
runs=${RUNS:-3}
make=${MAKE_RECORD_FILE:-$here/../../build/bin/make_record_file}

if [ ! -x "$bin/apctl" ]; then
  echo "measure_record_tools: no apctl in $bin (build it first)" >&2
  exit 2
fi
if [ ! -x "$make" ]; then
  echo "measure_record_tools: no make_record_file at $make (build it first)" >&2
  exit 2
fi
if [ ! -x /usr/bin/time ]; then
  echo "measure_record_tools: needs GNU time (/usr/bin/time, Debian package time)" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/var/tmp}/apdesk-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$make" "$work/flight.hj" "$records"
bytes=$(stat -c %s "$work/flight.hj")
printf 'record file: %s records, %s bytes\n' "$records" "$bytes"
printf '%-8s %10s %10s %12s %12s %10s\n' case wall_s cpu_s wall_MB/s cpu_MB/s max_rss_MB

measure() {
  name=$1
  shift
  best=""
  i=0
  while [ "$i" -lt "$runs" ]; do
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || {
      echo "measure_record_tools: $name failed:" >&2
      cat "$work/err" >&2
      exit 1
    }
    line=$(tail -n 1 "$work/time")
    if [ -z "$best" ] || [ "$(echo "$line $best" | awk '{print ($1 < $5)}')" = 1 ]; then best=$line; fi
    i=$((i + 1))
  done
  echo "$name $best $bytes" | awk '{
    wall = $2; cpu = $3 + $4; mb = $6 / 1e6;
    printf "%-8s %10.2f %10.2f %12.0f %12.0f %10.1f\n", $1, wall, cpu, (wall > 0 ? mb / wall : 0),
           (cpu > 0 ? mb / cpu : 0), $5 / 1024 }'
}

measure info "$bin/apctl" record info "$work/flight.hj"
for format in csv jsonl gpx kml; do
  measure "$format" "$bin/apctl" record export "$work/flight.hj" --format "$format" -o "$work/out.$format"
  rm -f "$work/out.$format"
done
