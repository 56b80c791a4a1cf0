#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build for a while, outside CI.
#
#   tools/fuzz-long.sh [-m MINUTES] [-p] [-b BUILD_DIR] [-o LOG_DIR] [FUZZER...]
#
#   -m  minutes per fuzzer (default 30)
#   -p  all fuzzers at once, each under `nice -n 19` (default: one after another)
#   -b  the fuzz build (default build-fuzz; configured here when missing, with
#       clang, -DAPDESK_WITH_QT=OFF -DAPDESK_FUZZ=ON, and only the fuzzers built)
#   -o  where the logs, corpora and crash files go (default BUILD_DIR/fuzz-long)
#
# Each fuzzer writes LOG_DIR/NAME.log; a summary line per fuzzer (executions,
# corpus size, findings) goes to stdout and LOG_DIR/summary.txt at the end.
# Exit status: 0 when no fuzzer found anything, 1 when one did, 2 on misuse.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
minutes=30
parallel=0
build=$ROOT/build-fuzz
logs=
while getopts "m:pb:o:" opt; do
  case $opt in
    m) minutes=$OPTARG ;;
    p) parallel=1 ;;
    b) build=$OPTARG ;;
    o) logs=$OPTARG ;;
    *) sed -n '2,14p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
case $minutes in '' | *[!0-9]* | 0) echo "fuzz-long: minutes must be a whole number above 0, not \"$minutes\"" >&2; exit 2 ;; esac
logs=${logs:-$build/fuzz-long}

if [ ! -f "$build/build.ninja" ]; then
  [ -f /work/ccache-env.sh ] && . /work/ccache-env.sh
  cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAPDESK_WITH_QT=OFF \
    -DAPDESK_FUZZ=ON -DAPDESK_TESTS=OFF -DAPDESK_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ || exit 2
fi
# The fuzzers are the executables registered under fuzz/ (each also a ctest).
mapfile -t all < <(grep -ho 'apdesk_fuzzer([A-Za-z0-9_]*' "$ROOT"/fuzz/*/CMakeLists.txt | sed 's/.*(//' | sort)
fuzzers=("$@")
[ ${#fuzzers[@]} -eq 0 ] && fuzzers=("${all[@]}")
ninja -C "$build" -j2 "${fuzzers[@]}" || exit 2

mkdir -p "$logs"
seconds=$((minutes * 60))
prefix=()
((parallel)) && prefix=(nice -n 19)
run_one() {
  local name=$1 corpus=$build/corpus/$1 out=$logs/$1
  mkdir -p "$corpus" "$out"
  # -artifact_prefix keeps crash files apart per fuzzer; -print_final_stats
  # gives the execution count the summary reads.
  "${prefix[@]}" "$build/bin/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=25 \
    -print_final_stats=1 -artifact_prefix="$out/" "$corpus" >"$logs/$name.log" 2>&1
  echo $? >"$logs/$name.status"
}
echo "fuzz-long: ${#fuzzers[@]} fuzzers, $minutes min each, $( ((parallel)) && echo parallel || echo in turn), logs in $logs"
date -u +"started %F %T UTC"
for f in "${fuzzers[@]}"; do
  if ((parallel)); then
    run_one "$f" &
  else
    run_one "$f"
  fi
done
wait
date -u +"ended %F %T UTC"

found=0
: >"$logs/summary.txt"
for f in "${fuzzers[@]}"; do
  log=$logs/$f.log
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  [ -z "$execs" ] && execs=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
  corpus=$(grep -o 'corp: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  crashes=$(find "$logs/$f" -type f | wc -l)
  status=$(cat "$logs/$f.status" 2>/dev/null || echo '?')
  line="$f: ${execs:-0} executions, corpus ${corpus:-?}, exit $status, $crashes finding(s)"
  [ "$crashes" -gt 0 ] || [ "$status" != 0 ] && found=1
  echo "$line" | tee -a "$logs/summary.txt"
done
exit $found
