#!/usr/bin/env bash
# Installs the build into a temporary prefix, then uses only that prefix: the
# decoder through pkg-config, every installed header and the control through
# find_package(KivPlayer), and runs examples/embed on a synthetic recording.
#   embed_test.sh BUILD_DIR SOURCE_DIR KIVTOOL SANITIZED
set -euo pipefail
build=$1 source=$2 kivtool=$3 sanitized=$4
if [ "$sanitized" = ON ]; then
  echo "skipped: a sanitized install needs the sanitizer flags in every program that uses it"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name KivPlayerConfig.cmake)")/../..
[ -e "$libdir/libkivplayer.so" ] || fail "libkivplayer.so not installed"
[ -e "$libdir/libkivplayerctrl.so" ] || fail "libkivplayerctrl.so not installed"
[ -x "$prefix/bin/kivtool-export" ] || fail "kivtool-export (kivtool export) not installed"

# The decoder through its pkg-config file alone.
cat >"$work/decoder.c" <<'C'
#include "codec/kivdecoder.h"
#include <string.h>
int main(void) {
    const uint8_t good[2] = {'K', 'Q'}, bad[2] = {'K', 'X'};
    char message[64];
    /* An unknown kind is a code from C, not an exception that ends the program. */
    const int refused = UnZipBufferC(good, 2, 9, NULL, 0, NULL, message, sizeof message) ==
                            KIV_DECODER_FAILED && strlen(message) > 0;
    return refused && InitDecoder() && CheckKivFileHeader(good) && !CheckKivFileHeader(bad) &&
                   UninitDecoder() ? 0 : 1;
}
C
export PKG_CONFIG_PATH=$libdir/pkgconfig
# shellcheck disable=SC2046
cc -o "$work/decoder" "$work/decoder.c" $(pkg-config --cflags --libs kivplayer) \
  || fail "the decoder does not build from kivplayer.pc"
LD_LIBRARY_PATH=$libdir "$work/decoder" || fail "the decoder built from kivplayer.pc does not run"

# Every installed header against the installed tree only.
mkdir "$work/headers"
includes=$prefix/include/kivplayer
(cd "$includes" && find . -name '*.h' | sort | sed 's|^\./\(.*\)|#include "\1"|') >"$work/headers/all.cpp"
echo 'int main() {}' >>"$work/headers/all.cpp"
cat >"$work/headers/CMakeLists.txt" <<'CM'
cmake_minimum_required(VERSION 3.20)
project(headers CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(KivPlayer REQUIRED COMPONENTS Widget Decoder)
add_executable(headers all.cpp)
target_link_libraries(headers PRIVATE KivPlayer::Widget KivPlayer::Decoder)
CM
configure() {
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$work/configure.log" 2>&1 \
    || { cat "$work/configure.log"; fail "configuring $1 against the package"; }
  cmake --build "$2" >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "building $1 against the package"; }
}
configure "$work/headers" "$work/headers-build"

# The example, in a clean folder.
configure "$source/examples/embed" "$work/embed"
# Read whole first: grep -q stopping early would fail ldd with SIGPIPE under pipefail.
libs=$(ldd "$work/embed/embed")
grep -q "$prefix.*libkivplayerctrl.so" <<<"$libs" \
  || fail "embed does not use the installed libkivplayerctrl.so"
"$kivtool" synth "$work/x.kiv" --seconds 5 >/dev/null
QT_QPA_PLATFORM=offscreen "$work/embed/embed" "$work/x.kiv" --seek 2500 --quit-on-position --timeout 60000 \
  >"$work/events.txt" || { cat "$work/events.txt"; fail "embed did not quit on a position"; }
cat "$work/events.txt"
grep -q "^OnPlayStateChanged 2$" "$work/events.txt" || fail "no OnPlayStateChanged to playing"
grep -q "^OnPositionChanged [0-9]" "$work/events.txt" || fail "no OnPositionChanged"
echo "embedding works from the installed package"
