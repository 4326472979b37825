#!/usr/bin/env bash
# Export figures: overhead against libx264 alone fed from memory, speed against
# real time, PSNR against kivtool snapshot, peak memory of each export.
# Usage: bench/run_export_bench.sh [BUILD_DIR]   (KIV_BENCH_EXPORT_SECONDS=20 sets the overhead run's range)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
kivtool=$build/apps/kivtool/kivtool
bench=$build/bench/bench_export
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$kivtool" synth "$work/big.kiv" --idle-ms 0 --seconds 600 --width 1920 --height 1080 --nails 0 >/dev/null
"$kivtool" synth "$work/demo.kiv" >/dev/null

"$bench" overhead "$work/big.kiv" "${KIV_BENCH_EXPORT_SECONDS:-20}"

# One export: wall time, speed against the recording's length, peak memory.
export_run() { # label recording out length_ms [options...]
  local label=$1 rec=$2 out=$3 length=$4
  shift 4
  python3 - "$kivtool" "$rec" "$out" "$length" "$label" "$@" <<'PY'
import resource, subprocess, sys, time
kivtool, rec, out, length, label, *opts = sys.argv[1:]
t0 = time.time()
subprocess.run([kivtool, "export", rec, out, "--force", *opts], check=True, stderr=subprocess.DEVNULL)
wall = time.time() - t0
rss = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
speed = int(length) / 1000 / wall
print(f"export {label}: {wall:.1f} s for {int(length) / 1000:.0f} s of recording, "
      f"{speed:.1f}x real time (goal: at least 10), peak resident {rss:.0f} MB (goal: under 150 MB)")
PY
}

export_run "1920x1080 10 min to H.264" "$work/big.kiv" "$work/big.mp4" 600000
export_run "demo 1280x720 1 min to H.264" "$work/demo.kiv" "$work/demo.mp4" 60000
# The other formats and the quality figures on the first minute: a snapshot
# plays from the start, and lossless formats are slow at this size.
for out in big1.mp4 big1.webm big1.mkv big1.gif big1/; do
  export_run "1920x1080 first minute to $out" "$work/big.kiv" "$work/$out" 60000 --to 60000
done

for out in big1.mp4 big1.mkv big1 big1.webm; do
  "$bench" psnr "$work/big.kiv" "$work/$out" 20
done
echo "(figures as measured: run it on a quiet machine)"
