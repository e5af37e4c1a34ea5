#!/usr/bin/env bash
# run_fuzzer.sh FUZZER SECONDS FOUND SEEDS KEPT [more libFuzzer flags]
# Runs FUZZER for SECONDS over its seeds, what it found before (FOUND, where it adds what it
# finds now) and the kept crash inputs (KEPT). A crash leaves its input in FOUND/../crashes.
set -eu
fuzzer=$1 seconds=$2 found=$3 seeds=$4 kept=$5
shift 5
here=$(cd "$(dirname "$0")" && pwd)
crashes="$(dirname "$found")/crashes/$(basename "$found")"
mkdir -p "$found" "$crashes" "$kept"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -dict="$here/zip.dict" -artifact_prefix="$crashes/" -print_final_stats=1 "$@" \
    "$found" "$seeds" "$kept"
