# log4cplus, static, UTF-16 (UNICODE) to match the project.
dep_recipe() {
  local work=$1
  local src; src=$(fetch_source log4cplus "$work")
  cmake_cross "$src" "$work/build" \
    -DBUILD_SHARED_LIBS=OFF -DLOG4CPLUS_BUILD_TESTING=OFF -DLOG4CPLUS_BUILD_LOGGINGSERVER=OFF \
    -DWITH_UNIT_TESTS=OFF -DLOG4CPLUS_ENABLE_THREAD_POOL=OFF \
    -DLOG4CPLUS_ENABLE_DECORATED_LIBRARY_NAME=OFF -DUNICODE=ON
}
