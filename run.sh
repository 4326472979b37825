#!/usr/bin/env bash
# Installs what is missing, builds, and plays ADDRESS (or the bundled demo recording).
# Until the player window exists, playing is headless: kivtool prints what the
# control would do and writes the pictures it would show.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build >/dev/null
kivtool=build/apps/kivtool/kivtool

address=${1:-}
if [ -z "$address" ]; then
  address=demo/demo.kiv
  if [ ! -f "$address" ] || [ ! -f demo/nails.xml ]; then  # older demos lack thumbnails
    mkdir -p demo
    "$kivtool" synth "$address"
  fi
fi

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
