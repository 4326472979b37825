#!/usr/bin/env bash
# Painting figures: the copy and the scaling against memcpy and JPEG decoding,
# sample to screen in a real window, and the CPU the window adds to the engine.
# Usage: bench/run_paint_bench.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
seconds=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/bench_paint" --benchmark_repetitions=3 | tail -n 3

# The window's CPU against the engine's alone (kivtool play), on the demo's size
# and on a full-screen recording: the demo alone is too sparse to judge it.
window_cpu() { # NAME SYNTH_OPTIONS...
  local name=$1
  shift
  "$build/apps/kivtool/kivtool" synth "$work/$name.kiv" --idle-ms 0 "$@" >/dev/null
  xvfb-run -a -s "-screen 0 1600x900x24" \
    "$build/bench/window/bench_window" "$work/$name.kiv" "$seconds" 2>/dev/null | tee "$work/window.txt"
  # The median of three runs: one run on a shared machine is noisy.
  local engine window
  engine=$(python3 - "$build/apps/kivtool/kivtool" "$work/$name.kiv" "$seconds" <<'PY'
import resource, statistics, subprocess, sys
runs = []
for _ in range(3):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run([sys.argv[1], "play", sys.argv[2], "--seconds", sys.argv[3]],
                   check=True, stdout=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    runs.append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
print(f"{statistics.median(runs):.3f}")
PY
  )
  window=$(awk '/window cpu:/ {print $3}' "$work/window.txt")
  awk -v n="$name" -v e="$engine" -v w="$window" 'BEGIN {
    printf "cpu (%s): window %.3f s, kivtool play %.3f s, the window adds %.2f of the engine (goal: at most 0.5)\n",
           n, w, e, (w - e) / e }'
}
window_cpu demo --seconds $((2 * seconds + 5))
# The seek benchmark's recording: its first minutes are as busy as its whole.
window_cpu hd --seconds 600 --width 1920 --height 1080
