#!/usr/bin/env bash
# Runs a command while N processes (8 unless given) spin on the CPU, then
# ends them; for figures under a fully busy machine.
#
#   bench/busy_cores.sh [N] COMMAND...
#   bench/busy_cores.sh 8 build/clock_bench --benchmark_filter=/0/
set -euo pipefail
n=8
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then n=$1; shift; fi
pids=()
for ((i = 0; i < n; i++)); do
  bash -c 'while :; do :; done' &
  pids+=($!)
done
trap 'kill "${pids[@]}" 2>/dev/null' EXIT
"$@"
