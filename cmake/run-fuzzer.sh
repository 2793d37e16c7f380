#!/bin/sh
# run-fuzzer.sh <fuzzer> <work-corpus> <seed-folder> <seconds>
# Runs a libFuzzer program for a fixed time on a working copy of its seeds; any crash, leak,
# time-out or out-of-memory fails the test and leaves the input beside the corpus.
set -e
fuzzer=$1 corpus=$2 seeds=$3 seconds=$4
mkdir -p "$corpus"
if [ -n "$seeds" ] && [ -d "$seeds" ]; then
    cp -r "$seeds"/. "$corpus"/ 2>/dev/null || true
fi
cd "$(dirname "$corpus")"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$corpus"
