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
# A single allocation above the limit is a finding: a reader must check the header's claims
# against the data before allocating, so no input of at most 64 KiB may ask for more.
malloc_mb=${KALMIRA_FUZZ_MALLOC_MB:-512}
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
exec "$bin" -seed="${KALMIRA_FUZZ_SEED:-1}" -max_total_time="$seconds" -rss_limit_mb=2560 -malloc_limit_mb="$malloc_mb" \
  -max_len=65536 -timeout=10 -print_final_stats=0 "${dirs[@]}"
