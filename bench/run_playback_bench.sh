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

runs=${KIV_BENCH_RUNS:-7}
compare() { python3 "$root/bench/compare_runs.py" "$@"; }

# The whole pipeline (reading, decoding, composing, the host) against decoding alone.
"$kivtool" synth "$work/demo.kiv" --idle-ms 0 >/dev/null
compare "pipeline, demo: snapshot --play against verify" "$runs" "at most 1.3" \
  -- "$kivtool" snapshot --play "$work/demo.kiv" 2147483647 "$work/end.bmp" \
  -- "$kivtool" verify "$work/demo.kiv"
"$kivtool" synth "$work/hd.kiv" --idle-ms 0 --seconds 120 --width 1920 --height 1080 >/dev/null
compare "pipeline, 120 s 1920 x 1080: snapshot --play against verify" "$runs" "at most 1.1" \
  -- "$kivtool" snapshot --play "$work/hd.kiv" 2147483647 "$work/end.bmp" \
  -- "$kivtool" verify "$work/hd.kiv"

"$bench" timing 20
"$bench" sparse 10

"$kivtool" synth "$work/seek.kiv" --idle-ms 0 --seconds 600 --width 1920 --height 1080 >/dev/null
# Three runs of 100 seeks: each run's figures, then the median of the runs' ratios.
for _ in 1 2 3; do "$bench" seek "$work/seek.kiv" 100; done | tee "$work/seek.txt"
python3 - "$work/seek.txt" <<'PY'
import re, statistics, sys
text = open(sys.argv[1]).read()
of_medians = [float(x) for x in re.findall(r"ratio of medians ([0-9.]+)", text)]
per_seek = [float(x) for x in re.findall(r"median ratio ([0-9.]+)", text)]
# The seek's own p90, not the one of decoding alone on the same line.
p90 = [float(x) for x in re.findall(r"request to picture median [0-9.]+ ms \(p90 ([0-9.]+)\)", text)]
def spread(v):
    m = statistics.median(v)
    return (max(v) - min(v)) / m * 100 if m else 0
print(f"seek over {len(p90)} runs: ratio of medians {statistics.median(of_medians):.2f} "
      f"(spread {spread(of_medians):.0f} %), median ratio {statistics.median(per_seek):.2f} "
      f"(spread {spread(per_seek):.0f} %), p90 {statistics.median(p90):.1f} ms "
      f"(goal: ratio at most 1.2, p90 at most 35 ms)")
PY

big_mb=${KIV_BENCH_BIG_MB:-1024}
"$kivtool" synth "$work/big.kiv" --idle-ms 0 --width 1920 --height 1080 --target-mb "$big_mb" >/dev/null
python3 - "$kivtool" "$work/big.kiv" "$work/big.bmp" "$big_mb" <<'PY'
import resource, subprocess, sys, time
t0 = time.time()
subprocess.run([sys.argv[1], "snapshot", "--play", sys.argv[2], "2147483647", sys.argv[3]], check=True)
rss = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
print(f"memory: peak resident {rss:.1f} MB playing a {sys.argv[4]} MB recording at full speed "
      f"in {time.time() - t0:.1f} s (goal: under 52 MB)")
PY
