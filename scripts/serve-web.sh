#!/usr/bin/env bash
# Builds the page's player and serves examples/web with the demo recording from
# nginx on a free 127.0.0.1 port until interrupted (run.sh --web calls it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
web/build.sh build-web >/dev/null
if [ ! -f demo/demo.kiv ] || [ ! -f demo/nails.xml ]; then
  mkdir -p demo
  build/apps/kivtool/kivtool synth demo/demo.kiv >/dev/null
fi
site=build-web/site
rm -rf "$site"
mkdir -p "$site/kivplayer"
cp web/{index.js,element-parts.js,worker.js,kivengine.js,kivengine.wasm} "$site/kivplayer/"
cp examples/web/index.html "$site/"
ln -s "$root/demo/demo.kiv" "$site/demo.kiv"
cp demo/nails.xml "$site/" && cp -r demo/nails "$site/"
# shellcheck source=/dev/null
. bench/nginx.sh
trap 'kill "$nginx_pid" 2>/dev/null || true' EXIT
start_nginx "$root/build-web" "$root/$site" index.html
echo "== the demo page: http://127.0.0.1:$port/index.html (Ctrl+C stops the server)"
wait "$nginx_pid"
