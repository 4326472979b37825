#!/usr/bin/env bash
# The web player against the native one, from nginx on 127.0.0.1:
#   open to first picture of a 1 GB 1920x1080 recording and the bytes read before
#   it; 20 seeks; decoding of every payload of the demo in WebAssembly and
#   natively; the gzip size of what a page loads; CPU playing the demo at 1x.
#
#   bench/run_web_bench.sh [RECORDING]
#
# Without RECORDING one of TARGET_MB (1024) MiB is made in a temporary folder.
# BUILD_DIR names the native build (default build/); the web build goes to
# build-web/. The machine is shared: figures are as measured.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$here/..
build=${BUILD_DIR:-$root/build}
kivtool=$build/apps/kivtool/kivtool
[ -x "$kivtool" ] || { echo "missing $kivtool: build kivtool first" >&2; exit 1; }
"$root/web/build.sh" "$root/build-web" >/dev/null
[ -d "$root/tests/web/node_modules/puppeteer-core" ] || (cd "$root/tests/web" && npm ci --no-audit --no-fund >/dev/null)
source "$here/nginx.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/kiv-web-bench-XXXXXX")
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
site=$work/site
mkdir -p "$site/kivplayer"
cp "$root"/web/{index.js,element-parts.js,worker.js,kivengine.js,kivengine.wasm} "$site/kivplayer/"
cat >"$site/index.html" <<'HTML'
<!doctype html><meta charset="utf-8">
<script type="module">import { KivPlayer } from "./kivplayer/index.js"; window.KivPlayer = KivPlayer;</script>
<body></body>
HTML
recording=${1:-}
if [ -z "$recording" ]; then
  recording=$work/big.kiv
  echo "== making a ${TARGET_MB:-1024} MiB 1920x1080 recording"
  "$kivtool" synth "$recording" --idle-ms 0 --width 1920 --height 1080 --target-mb "${TARGET_MB:-1024}" \
    --nails 0 >/dev/null
fi
ln -s "$(cd "$(dirname "$recording")" && pwd)/$(basename "$recording")" "$site/big.kiv"
"$kivtool" synth "$site/demo.kiv" >/dev/null
start_nginx "$work" "$site" index.html
url=http://127.0.0.1:$port
size=$(stat -L -c %s "$site/big.kiv")
duration=$("$kivtool" info "$site/big.kiv" | awk '/^duration:/ { print $2 }')
echo "== recording: $(awk -v b="$size" 'BEGIN { printf "%.0f MB", b / 1e6 }'), duration ${duration:-?} ms"
targets=$(python3 -c "import random; r = random.Random(20240607); d = int('${duration:-60000}'); print(','.join(str(r.randrange(d)) for _ in range(20)))")

ms() { # command...: wall milliseconds
  local t0 t1
  t0=$(date +%s%N); "$@" >/dev/null; t1=$(date +%s%N)
  echo $(( (t1 - t0) / 1000000 ))
}
median() { tr ' ' '\n' | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

echo "== native (kivtool snapshot from nginx: process start, open, the picture)"
opens=$(for _ in 1 2 3 4 5; do ms "$kivtool" snapshot "$url/big.kiv" 0 "$work/n.bmp"; done | xargs)
open_ms=$(echo "$opens" | median)
echo "native open to first picture: median $open_ms ms ($opens)"
if [ -x "$build/bench/bench_read" ]; then
  echo "native seek (bench_read: 100 random targets, from the seek to the sample found):"
  KIV_BENCH_RECORDING=$site/big.kiv KIV_BENCH_URL=$url/big.kiv "$build/bench/bench_read" \
    --benchmark_filter='BM_SeekLatency/http' --benchmark_counters_tabular=true 2>/dev/null | grep -E 'p50|Seek'
fi
if [ -x "$build/bench/bench_playback" ]; then
  echo "native seek, request to picture (bench_playback: 20 random targets, from nginx):"
  "$build/bench/bench_playback" seek "$site/big.kiv" 20 "$url/big.kiv" | head -n 1
fi
t0=$(date +%s%N); "$kivtool" verify "$site/demo.kiv" | tail -n 1; t1=$(date +%s%N)
echo "native decoding of every payload of the demo (kivtool verify): $(( (t1 - t0) / 1000000 )) ms"
cpu=$( { /usr/bin/time -f '%U %S' "$kivtool" play "$site/demo.kiv" --seconds 30 >/dev/null; } 2>&1 | tail -n 1)
echo "native CPU playing the demo at 1x (kivtool play, 30 s): $(echo "$cpu" | awk '{ printf "%.2f s", $1 + $2 }')"

echo "== browser"
node "$here/web_bench.mjs" "$url" big.kiv demo.kiv "$targets"
total=0
for f in index.js element-parts.js worker.js kivengine.js kivengine.wasm; do
  n=$(gzip -9 -c "$site/kivplayer/$f" | wc -c)
  total=$((total + n))
done
echo "what a page loads, gzip -9: $total bytes ($(awk -v b=$total 'BEGIN { printf "%.0f KB", b / 1024 }'))"
