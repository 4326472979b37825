#!/usr/bin/env bash
# Reading benchmarks: one full read pass of a large recording from the page cache
# (against cat) and from nginx on 127.0.0.1 (with the requests it took), and seek
# latency from both.
#
#   bench/run_read_bench.sh [RECORDING]
#
# Without RECORDING a 1920x1080 recording of TARGET_MB (300) MiB is made in a
# temporary folder and removed at the end. BUILD_DIR names the build (default
# build/); it needs the targets kivtool and bench_read.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build}
kivtool=$build/apps/kivtool/kivtool
bench=$build/bench/bench_read
for exe in "$kivtool" "$bench"; do
  [ -x "$exe" ] || { echo "missing $exe: build the kivtool and bench_read targets" >&2; exit 1; }
done
source "$(dirname "$0")/nginx.sh"
[ -x "$nginx" ] || { echo "nginx is missing (scripts/install-deps.sh installs nginx-light)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kiv-read-bench-XXXXXX")
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

recording=${1:-}
if [ -z "$recording" ]; then
  recording=$work/bench.kiv
  echo "== making a ${TARGET_MB:-300} MiB 1920x1080 recording"
  "$kivtool" synth "$recording" --idle-ms 0 --width 1920 --height 1080 --target-mb "${TARGET_MB:-300}"
fi
recording=$(cd "$(dirname "$recording")" && pwd)/$(basename "$recording")
size=$(stat -c %s "$recording")

# nginx serving the recording's folder, on a free loopback port.
start_nginx "$work" "$(dirname "$recording")" "$(basename "$recording")"
url=http://127.0.0.1:$port/$(basename "$recording")

seconds() { # command...: wall seconds of the best of three runs
  local best=
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s%N)
    "$@" > /dev/null
    t1=$(date +%s%N)
    local s=$(( t1 - t0 ))
    if [ -z "$best" ] || [ "$s" -lt "$best" ]; then best=$s; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.3f", ns / 1e9 }'
}
rate() { awk -v b="$size" -v s="$1" 'BEGIN { printf "%.0f MB/s", b / s / 1e6 }'; }

echo "== recording: $recording ($(awk -v b="$size" 'BEGIN { printf "%.1f MB", b / 1e6 }'))"
"$kivtool" info "$recording"
cat "$recording" > /dev/null # into the page cache
t=$(seconds cat "$recording")
echo "cat from the page cache:          $t s  $(rate "$t")"
t=$(seconds curl -s -o - "$url")
echo "curl, one request to nginx:       $t s  $(rate "$t")"

t=$(seconds "$kivtool" dump "$recording")
echo "kivtool dump from disk:           $t s  $(rate "$t")"
t=$(seconds "$kivtool" dump "$url")
echo "kivtool dump from nginx:          $t s  $(rate "$t")"

echo "== bench_read"
before=$(wc -l < "$work/nginx/access.log")
KIV_BENCH_RECORDING=$recording KIV_BENCH_URL=$url "$bench" --benchmark_counters_tabular=true
after=$(wc -l < "$work/nginx/access.log")
echo "requests nginx answered during bench_read: $((after - before))"
