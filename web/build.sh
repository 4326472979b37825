#!/usr/bin/env bash
# Builds the page's engine into DIR (default build-web) and copies it into
# web/: web/build.sh [DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(mkdir -p "${1:-$root/build-web}" && cd "${1:-$root/build-web}" && pwd)
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs} # Debian's emcc needs node-acorn
"$root/web/build-deps.sh" "$dir/deps"
emcmake cmake -S "$root" -B "$dir/engine" -G Ninja -DKIV_WEB_DEPS="$dir/deps/prefix" \
  ${KIV_WEB_CMAKE_ARGS:-} >/dev/null 2>"$dir/configure.log" || { cat "$dir/configure.log" >&2; exit 1; }
cmake --build "$dir/engine" -j "${KIV_JOBS:-2}"
cp "$dir/engine/src/web/kivengine.js" "$dir/engine/src/web/kivengine.wasm" "$root/web/"
