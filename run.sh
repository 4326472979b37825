#!/usr/bin/env bash
# Installs what is missing, builds, and plays ADDRESS (or the bundled demo recording).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build >/dev/null
kivtool=build/apps/kivtool/kivtool

address=${1:-}
if [ -z "$address" ]; then
  address=demo/demo.kiv
  if [ ! -f "$address" ]; then
    mkdir -p demo
    "$kivtool" synth "$address"
  fi
fi

echo "== kivtool info $address"
"$kivtool" info "$address"
echo "== kivtool verify $address"
"$kivtool" verify "$address" | tail -n 5
dump=build/demo-dump.csv
"$kivtool" dump "$address" > "$dump"
echo "== the sample listing went to $dump ($(wc -l < "$dump") records)"
