#!/usr/bin/env bash
# Runs every fuzz target of a fuzz-preset build over its seed corpus for a
# bounded time, two at a time: FUZZ_SECONDS each (default 15). A crash, a
# leak, a hang (-timeout=2) or running out of memory (-rss_limit_mb=512)
# fails the run; the reproducing input is left beside the target's log in
# <build>/fuzz-logs/<target>/ (FUZZ_LOGS names another folder). New inputs
# go to that folder's corpus, never to the checkout.
#   tests/fuzz/run.sh [build-dir] [target...]
set -uo pipefail
cd "$(dirname "$0")/../.."
export build=${1:-build/fuzz} seconds=${FUZZ_SECONDS:-15}
export logs=${FUZZ_LOGS:-$build/fuzz-logs}
shift $(($# > 0 ? 1 : 0))

run_one() {
  local target=$1 dir="$logs/$1" dictionary=tests/fuzz/dictionaries/$1.dict
  case "$target" in
    property_list | preferences) dictionary=tests/fuzz/dictionaries/plist.dict ;;
  esac
  [ -f "$dictionary" ] || dictionary=
  rm -rf "$dir" && mkdir -p "$dir/corpus"
  "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=512 \
    -print_final_stats=1 -artifact_prefix="$dir/" ${dictionary:+-dict="$dictionary"} \
    "$dir/corpus" "tests/fuzz/corpus/$target" >"$dir/log" 2>&1
  local status=$? runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
  if [ $status -eq 0 ]; then
    printf '%-16s %10s executions  ok\n' "$target" "${runs:-?}"
    return 0
  fi
  # The log names the reproducing input (crash-*, leak-*, timeout-*, oom-*).
  printf '%-16s %10s executions  FAILED (exit %d): log %s\n' "$target" "${runs:-?}" "$status" \
    "$dir/log"
  grep -m3 -E 'ERROR|runtime error|SUMMARY|No such file' "$dir/log" | sed 's/^/  /'
  return 1
}
export -f run_one

mkdir -p "$logs"
if [ $# -eq 0 ]; then set -- $(basename -s .cpp tests/fuzz/targets/*.cpp); fi
# xargs answers non-zero when any target failed.
printf '%s\n' "$@" | xargs -P "${FUZZ_PARALLEL:-2}" -I{} bash -c 'run_one {}'
