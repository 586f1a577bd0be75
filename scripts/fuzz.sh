#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a given number of seconds, all at once, each from
# a scratch copy of its seed corpus. New crashers land in fuzz/crashers/<target>/.
# Usage: scripts/fuzz.sh BUILD_DIR SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1 seconds=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pids=() names=()
for bin in "$build"/fuzz/fuzz_*; do
  name=${bin##*/fuzz_}
  mkdir -p "$work/$name" "fuzz/crashers/$name"
  cp -r "fuzz/corpus/$name/." "$work/$name/" 2>/dev/null || true
  "$bin" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="fuzz/crashers/$name/" \
    "$work/$name" >"$work/$name.log" 2>&1 &
  pids+=($!) names+=("$name")
done
status=0
for i in "${!pids[@]}"; do
  if wait "${pids[$i]}"; then
    execs=$(grep -m1 'stat::number_of_executed_units' "$work/${names[$i]}.log" | awk '{print $2}')
    cov=$(grep -o 'cov: [0-9]*' "$work/${names[$i]}.log" | tail -1)
    echo "fuzz ${names[$i]}: ok, ${execs:-?} runs, ${cov:-cov: ?}"
  else
    echo "fuzz ${names[$i]}: FAILED"; tail -40 "$work/${names[$i]}.log"; status=1
  fi
  rmdir "fuzz/crashers/${names[$i]}" 2>/dev/null || true
done
rmdir fuzz/crashers 2>/dev/null || true
exit $status
