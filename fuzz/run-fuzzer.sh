#!/usr/bin/env bash
# run-fuzzer.sh BINARY SECONDS WORK_DIR [SEED_DIR]
# One short libFuzzer run: new inputs go to WORK_DIR, the committed seeds are read as well.
# The suite's run starts from a fixed random seed so that a red run can be repeated;
# KALMIRA_FUZZ_SEED=0 lets libFuzzer choose one (for longer runs by hand).
set -euo pipefail
bin=$1 seconds=$2 work=$3 seeds=${4:-}
mkdir -p "$work"
dirs=("$work")
if [ -n "$seeds" ] && [ -d "$seeds" ]; then dirs+=("$seeds"); fi
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:malloc_limit_mb=2048
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
exec "$bin" -seed="${KALMIRA_FUZZ_SEED:-1}" -max_total_time="$seconds" -rss_limit_mb=2560 -max_len=65536 -timeout=10 \
  -print_final_stats=0 "${dirs[@]}"
