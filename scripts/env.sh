# Shared paths for the project's scripts. Source it; it defines variables only.
#
#   FOTOLOFT_CACHE   where built dependencies and the Wine prefix live (outside the clone)
#   WINEPREFIX       the project's own 32-bit Wine prefix (never ~/.wine)
#   BUILD_DIR        the CMake build folder

ROOT_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Bump when a change to the recipes makes older caches unusable.
RECIPE_REV=1

FOTOLOFT_CACHE="${FOTOLOFT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/fotoloft}"
CACHE_DIR="$FOTOLOFT_CACHE/r$RECIPE_REV"
DEPS_PREFIX="$CACHE_DIR/prefix"
DEPS_SRC="$CACHE_DIR/src"
STAMPS="$CACHE_DIR/stamps"
BOOST_SHIM="$CACHE_DIR/boost-shim"
LOCALE_DIR="$CACHE_DIR/locale"
SAMPLE_NODE_DIR="$CACHE_DIR/sample-node"   # the Node sample server's node_modules
SAMPLE_TUS_DIR="$CACHE_DIR/sample-tus"     # the tus sample server's (@tus/server, @tus/file-store)
BENCH_TUS_DIR="$CACHE_DIR/bench-tus"       # the reference tus client's, for bench/upload

# A caller may point the tests at a prefix of its own (FOTOLOFT_WINEPREFIX); by default the cached one.
export WINEPREFIX="${FOTOLOFT_WINEPREFIX:-$CACHE_DIR/wineprefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

BUILD_DIR="${FOTOLOFT_BUILD_DIR:-$ROOT_DIR/build}"
TOOLCHAIN_FILE="$ROOT_DIR/cmake/mingw-i686.cmake"
MINGW_SYSROOT=/usr/i686-w64-mingw32
