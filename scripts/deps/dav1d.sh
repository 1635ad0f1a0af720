# dav1d, the AV1 decoder behind AVIF: static, with its x86 assembly (nasm), no tools or tests.
dep_recipe() {
  local work=$1
  local src; src=$(fetch_source dav1d "$work")
  meson setup "$work/build" "$src" \
    --cross-file "$ROOT_DIR/scripts/deps/dav1d/i686-w64-mingw32.ini" \
    --prefix "$DEPS_PREFIX" --libdir lib --buildtype release --default-library static \
    -Denable_tools=false -Denable_tests=false -Denable_examples=false -Dbitdepths=8,16
  ninja -C "$work/build" -j"$(nproc)"
  ninja -C "$work/build" install
}
