#!/usr/bin/env bash
# Builds zlib, LZO and libjpeg-turbo for WebAssembly from Debian's source
# packages of the versions the native build links: web/build-deps.sh DIR
# Leaves DIR/prefix/{include,lib}. The deb-src entry lives in DIR only; the
# machine's own apt configuration is never touched.
set -euo pipefail
dir=$(mkdir -p "$1" && cd "$1" && pwd)
prefix=$dir/prefix
stamp=$prefix/.built
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs} # Debian's emcc needs node-acorn

version() { dpkg-query -W -f='${Version}' "$1"; }
# WebAssembly SIMD lets clang vectorize the decoders' loops (every browser since 2021 has it).
opt="-O3 -msimd128"
want="zlib=$(version zlib1g-dev) lzo2=$(version liblzo2-dev) libjpeg-turbo=$(version libjpeg62-turbo-dev)"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want $opt" ]; then exit 0; fi

# shellcheck disable=SC1091
. /etc/os-release
mkdir -p "$dir/apt/lists/partial" "$dir/apt/cache/archives/partial" "$dir/src"
echo "deb-src http://deb.debian.org/debian $VERSION_CODENAME main" >"$dir/apt/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$dir/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
  -o "Dir::State::Lists=$dir/apt/lists" -o "Dir::Cache=$dir/apt/cache"
  -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
if ! ls "$dir/apt/lists/"*Sources* >/dev/null 2>&1; then
  apt-get "${apt_opts[@]}" update -qq
fi
cd "$dir/src"
for pkg in $want; do
  name=${pkg%%=*}
  if ! ls -d "$name"-*/ >/dev/null 2>&1; then
    apt-get "${apt_opts[@]}" source -qq "$pkg" >/dev/null
  fi
done

export CFLAGS="$opt"
jobs=${KIV_JOBS:-2}
rm -rf "$prefix" && mkdir -p "$prefix"

# zlib: its configure wants a plain compiler; static library only.
mkdir -p "$prefix/lib" "$prefix/include/lzo"
(cd zlib-*/ && emconfigure ./configure --static --prefix="$prefix" >/dev/null \
  && emmake make -j"$jobs" libz.a >/dev/null && cp libz.a "$prefix/lib/" && cp zlib.h zconf.h "$prefix/include/")

# LZO: its sources build without configure; only what the decoder links.
(cd lzo2-*/ && rm -rf wasm && mkdir wasm \
  && for f in lzo_init lzo_ptr lzo_util lzo_str lzo1x_d1 lzo1x_d2; do
       emcc $CFLAGS -Iinclude -c "src/$f.c" -o "wasm/$f.o" || exit 1
     done \
  && emar rcs "$prefix/lib/liblzo2.a" wasm/*.o && cp include/lzo/*.h "$prefix/include/lzo/")

# libjpeg-turbo: no hand-written SIMD (it has none for WebAssembly), no programs, no tests.
(cd libjpeg-turbo-*/ && rm -rf build-wasm && mkdir build-wasm && cd build-wasm \
  && emcmake cmake .. -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$opt" -DWITH_SIMD=OFF -DHAVE_SIZE_T=TRUE -DSIZE_T=4 \
    -DHAVE_UNSIGNED_LONG=TRUE -DUNSIGNED_LONG=4 \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF \
    -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null \
  && emmake make -j"$jobs" jpeg-static >/dev/null \
  && cp libjpeg.a "$prefix/lib/" && cp jconfig.h ../jpeglib.h ../jmorecfg.h ../jerror.h "$prefix/include/")
echo "$want $opt" >"$stamp"
