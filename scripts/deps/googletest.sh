# GoogleTest and GoogleMock from the source that Debian's googletest package ships.
dep_recipe() {
  local work=$1
  rm -rf "$work"; mkdir -p "$work"
  cmake_cross /usr/src/googletest "$work/build" \
    -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF -DCMAKE_CXX_FLAGS="-D_WIN32_WINNT=0x0601"
}
