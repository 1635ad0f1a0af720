# libwebp: static libraries only (the DLL links the decoder and the demuxer), no tools.
dep_recipe() {
  local work=$1
  local src; src=$(fetch_source libwebp "$work")
  cmake_cross "$src" "$work/build" \
    -DBUILD_SHARED_LIBS=OFF -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF \
    -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF \
    -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF \
    -DWEBP_BUILD_EXTRAS=OFF -DWEBP_ENABLE_SWAP_16BIT_CSP=OFF
}
