#!/usr/bin/env bash
# Thumbnail strip figures: a recording with 120 thumbnails beside it, opened in a
# real window; from the open to the last cell shown, and the longest stretch the
# control's thread was busy meanwhile (goal: under 12 ms).
# Usage: bench/run_nails_bench.sh [BUILD_DIR] [RUNS] [PNG]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-5}
png=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/apps/kivtool/kivtool" synth "$work/rec.kiv" --idle-ms 0 --seconds 600 --width 640 --height 400 \
  --nails 120 >/dev/null
xvfb-run -a -s "-screen 0 1280x800x24" "$build/bench/window/bench_nails" "$work/rec.kiv" "$runs" \
  ${png:+"$png"} 2>/dev/null
