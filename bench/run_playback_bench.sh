#!/usr/bin/env bash
# Playback figures: pipeline overhead, timing at 1x, CPU while sparse, seek latency, memory.
# Usage: bench/run_playback_bench.sh [BUILD_DIR]   (KIV_BENCH_BIG_MB=1024 sets the memory run's size)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
kivtool=$build/apps/kivtool/kivtool
bench=$build/bench/bench_playback
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

best_of_3() { # prints the best wall time in ms of a command
  local best=
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s%N); "$@" >/dev/null; t1=$(date +%s%N)
    local ms=$(( (t1 - t0) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

"$kivtool" synth "$work/demo.kiv" --idle-ms 0 >/dev/null
verify=$(best_of_3 "$kivtool" verify "$work/demo.kiv")
play=$(best_of_3 "$kivtool" snapshot --play "$work/demo.kiv" 2147483647 "$work/end.bmp")
echo "pipeline: snapshot --play ${play} ms, verify ${verify} ms, ratio $(awk "BEGIN{printf \"%.2f\", $play/$verify}") (goal: at most 1.3)"

"$bench" timing 20
"$bench" sparse 10

"$kivtool" synth "$work/seek.kiv" --idle-ms 0 --seconds 600 --width 1920 --height 1080 >/dev/null
"$bench" seek "$work/seek.kiv" 100

big_mb=${KIV_BENCH_BIG_MB:-1024}
"$kivtool" synth "$work/big.kiv" --idle-ms 0 --width 1920 --height 1080 --target-mb "$big_mb" >/dev/null
python3 - "$kivtool" "$work/big.kiv" "$work/big.bmp" "$big_mb" <<'PY'
import resource, subprocess, sys, time
t0 = time.time()
subprocess.run([sys.argv[1], "snapshot", "--play", sys.argv[2], "2147483647", sys.argv[3]], check=True)
rss = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
print(f"memory: peak resident {rss:.1f} MB playing a {sys.argv[4]} MB recording at full speed "
      f"in {time.time() - t0:.1f} s (goal: under 64 MB)")
PY
