#!/usr/bin/env bash
# Installs what is missing, builds, and plays ADDRESS (or the bundled demo recording):
# in the kivplayer window when a display is there (X11 or Wayland), else headless
# with kivtool, which prints what the control does and writes the pictures it shows.
# ./run.sh --web builds the page's player and serves the demo page on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build >/dev/null
kivtool=build/apps/kivtool/kivtool

if [ "${1:-}" = "--web" ]; then
  exec scripts/serve-web.sh
fi

address=${1:-}
if [ -z "$address" ]; then
  address=demo/demo.kiv
  if [ ! -f "$address" ] || [ ! -f demo/nails.xml ]; then  # older demos lack thumbnails
    mkdir -p demo
    "$kivtool" synth "$address"
  fi
fi

kivplayer=build/apps/kivplayer/kivplayer
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$kivplayer" ]; then
  exec "$kivplayer" "$address"
fi
echo "== no display (DISPLAY and WAYLAND_DISPLAY unset): playing headless with kivtool"

echo "== kivtool info $address"
"$kivtool" info "$address"

seconds=()
case "${address^^}" in
  KIVS*|*.SMS) seconds=(--seconds 20) ;;                 # live sources never end
  *)
    "$kivtool" snapshot "$address" 30000 build/snapshot-30s.png
    echo "== the picture at 30 s went to build/snapshot-30s.png"
    [ -z "${1:-}" ] && seconds=(--seconds 10)
    ;;
esac
echo "== kivtool play $address ${seconds[*]}"
"$kivtool" play "$address" "${seconds[@]}" --snapshot build/snapshot-end.png | tail -n 5
echo "== the last picture went to build/snapshot-end.png"
