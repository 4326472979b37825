#!/usr/bin/env bash
# The web player in Debian's chromium against nginx on 127.0.0.1 (and a
# server that ignores ranges): tests/web/run.sh SOURCE_DIR BUILD_DIR
# Exits 77 (skipped) when emcc or chromium is not installed.
set -euo pipefail
src=$1
build=$2
here=$src/tests/web
for tool in emcc chromium node; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done
if [ ! -d "$here/node_modules/puppeteer-core" ]; then
  (cd "$here" && npm ci --no-audit --no-fund >/dev/null)
fi
# One web build for every native build (plain, sanitized): the engine does not
# depend on their options, and CI builds it once.
KIV_JOBS=${KIV_JOBS:-2} "$src/web/build.sh" "${KIV_WEB_BUILD:-$src/build-web}" >/dev/null

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
root=$work/root
mkdir -p "$root/kivplayer"
cp "$src"/web/{index.js,element-parts.js,worker.js,kivengine.js,kivengine.wasm} "$root/kivplayer/"
kivtool=$build/apps/kivtool/kivtool
"$kivtool" synth "$root/rec.kiv" --seconds 20 --width 800 --height 600 --keyframe-ms 4000 \
  --nails 5 >/dev/null
# One key frame and 43 MB of regions after it: more than the frames buffer holds.
"$kivtool" synth "$root/long.kiv" --seconds 80 --width 1280 --height 720 --keyframe-ms 1000000 \
  --compression raw --nails 0 --idle-ms 0 >/dev/null
# Markers every 7 s, each followed by 3 s in which nothing changes.
"$kivtool" synth "$root/nav.kiv" --seconds 30 --width 640 --height 480 --keyframe-ms 4000 \
  --marker-ms 7000 --idle-ms 3000 --nails 0 >/dev/null
# Damaged copies: a wrong magic, and an index cut off.
python3 - "$root" <<'PY'
import sys, os
root = sys.argv[1]
data = open(os.path.join(root, "rec.kiv"), "rb").read()
open(os.path.join(root, "bad-magic.kiv"), "wb").write(b"XX" + data[2:])
open(os.path.join(root, "cut.kiv"), "wb").write(data[:len(data) - 100])
PY
cat >"$root/index.html" <<'HTML'
<!doctype html><meta charset="utf-8"><title>kiv-player test</title>
<script type="module">import { KivPlayer } from "./kivplayer/index.js"; window.KivPlayer = KivPlayer;</script>
<body style="margin:0"></body>
HTML

# shellcheck source=/dev/null
. "$src/bench/nginx.sh"
start_nginx "$work" "$root" index.html >/dev/null
pids+=("$nginx_pid")
plain_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
(cd "$root" && exec python3 -m http.server --bind 127.0.0.1 "$plain_port" >/dev/null 2>&1) &
pids+=("$!")
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$plain_port/index.html" && break
  sleep 0.1
done

node "$here/web_test.mjs" --root "$root" --kivtool "$kivtool" --base "http://127.0.0.1:$port" \
  --plain "http://127.0.0.1:$plain_port" --work "$work"
