# The CRC-32, MD5 and hex-encoder part of Crypto++, compiled from its sources by a small
# CMake project of ours (the whole library takes ten times as long and brings nothing we use).
dep_recipe() {
  local work=$1
  local src; src=$(fetch_source libcrypto++ "$work")
  cmake_cross "$ROOT_DIR/scripts/deps/cryptopp" "$work/build" -DCRYPTOPP_SRC="$src"
}
