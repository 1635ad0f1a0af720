# libde265, the HEVC decoder behind HEIC: static, decoder library only (no encoder, no tools).
dep_recipe() {
  local work=$1
  local src; src=$(fetch_source libde265 "$work")
  cmake_cross "$src" "$work/build" \
    -DBUILD_SHARED_LIBS=OFF -DENABLE_SDL=OFF -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF \
    -DCMAKE_C_FLAGS=-DLIBDE265_STATIC_BUILD -DCMAKE_CXX_FLAGS=-DLIBDE265_STATIC_BUILD
}
