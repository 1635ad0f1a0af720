# libjpeg-turbo, static with SIMD (nasm), for fast scaled JPEG decoding.
dep_recipe() {
  local work=$1
  local src; src=$(fetch_source libjpeg-turbo "$work")
  cmake_cross "$src" "$work/build" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_JPEG8=OFF -DCMAKE_ASM_NASM_COMPILER=nasm -DREQUIRE_SIMD=ON
}
