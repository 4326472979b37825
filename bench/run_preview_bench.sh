#!/usr/bin/env bash
# Seek slider previews: hover request to preview ready, over random times of a
# 10-minute 1920x1080 recording without thumbnails (so every picture is a key
# frame read through the index), from nginx on 127.0.0.1 and from the file.
# Usage: bench/run_preview_bench.sh [BUILD_DIR] [COUNT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
count=${2:-300}
kivtool=$build/apps/kivtool/kivtool
bench=$build/bench/bench_preview
for exe in "$kivtool" "$bench"; do
  [ -x "$exe" ] || { echo "missing $exe: build the kivtool and bench_preview targets" >&2; exit 1; }
done
source "$root/bench/nginx.sh"
[ -x "$nginx" ] || { echo "nginx is missing (scripts/install-deps.sh installs nginx-light)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kiv-preview-bench-XXXXXX")
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

recording=$work/previews.kiv
"$kivtool" synth "$recording" --idle-ms 0 --seconds 600 --width 1920 --height 1080 --nails 0 >/dev/null
duration=$("$kivtool" info "$recording" | awk '/^duration:/ { print $2 }')
echo "== recording: $(stat -c %s "$recording") bytes, $duration ms, $("$kivtool" info "$recording" | awk '/^index_entries:/ { print $2 }') key frames"

start_nginx "$work" "$work" previews.kiv
url=http://127.0.0.1:$port/previews.kiv

before=$(wc -l < "$work/nginx/access.log")
"$bench" "$url" "$duration" "$count"
after=$(wc -l < "$work/nginx/access.log")
echo "requests nginx answered: $((after - before)) (a thumbnail index looked for, the header and index, two per key frame decoded)"
"$bench" "$recording" "$duration" "$count"
