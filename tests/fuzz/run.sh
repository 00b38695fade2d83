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
build=${1:-build/fuzz}
shift $(( $# > 0 ? 1 : 0 ))
seconds=${FUZZ_SECONDS:-15}
parallel=${FUZZ_PARALLEL:-2}
logs=${FUZZ_LOGS:-$build/fuzz-logs}

dictionary_of() {
  case "$1" in
    profile) echo tests/fuzz/dictionaries/profile.dict ;;
    property_list | preferences) echo tests/fuzz/dictionaries/plist.dict ;;
    *) [ -f "tests/fuzz/dictionaries/$1.dict" ] && echo "tests/fuzz/dictionaries/$1.dict" ;;
  esac
}

run_one() {
  local target=$1 dir="$logs/$1" dictionary
  rm -rf "$dir" && mkdir -p "$dir/corpus"
  dictionary=$(dictionary_of "$target")
  "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=512 \
    -print_final_stats=1 -artifact_prefix="$dir/" ${dictionary:+-dict="$dictionary"} \
    "$dir/corpus" "tests/fuzz/corpus/$target" >"$dir/log" 2>&1
  local status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
  if [ $status -eq 0 ]; then
    printf '%-16s %10s executions  ok\n' "$target" "${runs:-?}"
  else
    printf '%-16s %10s executions  FAILED (exit %d): log %s\n' "$target" "${runs:-?}" "$status" \
      "$dir/log"
    ls "$dir"/crash-* "$dir"/leak-* "$dir"/timeout-* "$dir"/oom-* 2>/dev/null | sed 's/^/  input: /'
    grep -m3 -E 'ERROR|runtime error|SUMMARY' "$dir/log" | sed 's/^/  /'
    return 1
  fi
}

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in tests/fuzz/targets/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
mkdir -p "$logs"
failed=0
running=0
for target in "${targets[@]}"; do
  if [ ! -x "$build/tests/fuzz/fuzz_$target" ]; then
    echo "fuzz_$target is not built in $build (cmake --preset fuzz)"
    failed=1
    continue
  fi
  run_one "$target" &
  running=$((running + 1))
  if [ $running -ge "$parallel" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while [ $running -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
