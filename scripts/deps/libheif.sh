# libheif over libde265 (HEIC) and dav1d (AVIF): static, decoders only, no examples or plugins.
dep_recipe() {
  local work=$1
  local src; src=$(fetch_source libheif "$work")
  # One AV1 decoding thread per picture: the control decodes on threads of its own, each
  # within its share of one memory budget, and dav1d would otherwise start one per core.
  sed -i 's/decoder->settings.all_layers = 0;/decoder->settings.all_layers = 0;\n  decoder->settings.n_threads = 1;\n  decoder->settings.max_frame_delay = 1;/' \
    "$src/libheif/plugins/heif_decoder_dav1d.cc"
  grep -q 'settings.n_threads = 1' "$src/libheif/plugins/heif_decoder_dav1d.cc"
  local flags="-DLIBDE265_STATIC_BUILD -DLIBHEIF_STATIC_BUILD"
  cmake_cross "$src" "$work/build" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF -DWITH_EXAMPLES=OFF -DWITH_FUZZERS=OFF \
    -DWITH_GDK_PIXBUF=OFF -DENABLE_PLUGIN_LOADING=OFF -DWITH_LIBSHARPYUV=OFF \
    -DWITH_LIBDE265=ON -DWITH_DAV1D=ON -DWITH_X265=OFF -DWITH_AOM_DECODER=OFF \
    -DWITH_AOM_ENCODER=OFF -DWITH_RAV1E=OFF -DWITH_SvtEnc=OFF -DWITH_JPEG_DECODER=OFF \
    -DWITH_JPEG_ENCODER=OFF -DWITH_OpenJPEG_DECODER=OFF -DWITH_OpenJPEG_ENCODER=OFF \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_DISABLE_FIND_PACKAGE_Doxygen=ON
}
