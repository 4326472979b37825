#!/usr/bin/env bash
# Finding the moment: rate changes, lateness at 4 and 16 times, idle skipping,
# the activity table of a large file.
# Usage: bench/run_navigation_bench.sh [BUILD_DIR]   (KIV_BENCH_BIG_MB sets the table's file size)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
bench=$build/bench/bench_navigation
"$bench" rate
"$bench" late 4 10
"$bench" late 16 10
"$bench" idle
"$bench" table "${KIV_BENCH_BIG_MB:-1024}"
