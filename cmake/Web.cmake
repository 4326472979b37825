# The WebAssembly build (emcmake cmake -DKIV_WEB_DEPS=...): only the engine for
# the page; zlib, LZO and libjpeg-turbo come from web/build-deps.sh.
set(KIV_WEB_DEPS "" CACHE PATH "Prefix of the dependencies web/build-deps.sh built")
if(NOT EXISTS "${KIV_WEB_DEPS}/lib/libjpeg.a")
  message(FATAL_ERROR "KIV_WEB_DEPS must name the prefix web/build-deps.sh built")
endif()
set(CMAKE_BUILD_TYPE Release CACHE STRING "" FORCE)
set(CMAKE_CXX_FLAGS_RELEASE "-O3 -msimd128")
add_subdirectory(src/web)
