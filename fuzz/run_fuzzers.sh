#!/usr/bin/env bash
# Runs every fuzzer of a build for a bounded time, new inputs going to a scratch corpus beside the committed
# seeds, and prints how many inputs each one executed. Fails when any fuzzer finds something.
# Usage: fuzz/run_fuzzers.sh [build folder, default build-fuzz] [seconds per fuzzer, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-60}
work="$build/fuzz-work"
status=0
found=0
for fuzzer in "$build"/fuzz/*_fuzzer; do
  [ -x "$fuzzer" ] || continue
  found=1
  name=$(basename "$fuzzer")
  mkdir -p "$work/$name/corpus" "$work/$name/artifacts"
  log="$work/$name/log.txt"
  options=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1
    -artifact_prefix="$work/$name/artifacts/")
  if [ -f "fuzz/$name.dict" ]; then options+=(-dict="fuzz/$name.dict"); fi
  result=ok
  if ! "$fuzzer" "${options[@]}" "$work/$name/corpus" "fuzz/corpus/$name" >"$log" 2>&1; then
    result="FOUND A FAULT (input kept in $work/$name/artifacts/, log in $log)"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  printf '%-24s %12s executions in %ss  %s\n' "$name" "${runs:-?}" "$seconds" "$result"
  if [ $status -ne 0 ] && [ "$result" != ok ]; then grep -E 'ERROR|property does not hold|SUMMARY' "$log" | head -n 5 || true; fi
done
if [ $found -eq 0 ]; then
  echo "no fuzzers in $build/fuzz: configure and build with 'cmake --workflow --preset fuzz' first" >&2
  exit 1
fi
exit $status
