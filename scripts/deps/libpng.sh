# libpng over Debian's static mingw zlib.
dep_recipe() {
  local work=$1
  local src; src=$(fetch_source libpng1.6 "$work")
  cmake_cross "$src" "$work/build" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF \
    -DZLIB_LIBRARY=/usr/i686-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/i686-w64-mingw32/include
}
