# Helpers for scripts/setup: timed steps and cross-builds of Debian source packages.
# Each dependency has a recipe scripts/deps/NAME.sh defining dep_recipe(); its stamp carries
# a hash of the recipe and the toolchain file, so a changed recipe rebuilds only that dependency.

run_step() {
  local name=$1 hint=$2; shift 2
  local t0=$SECONDS rc=0
  printf 'setup: %-14s ... ' "$name"
  local log="$CACHE_DIR/logs/$name.log"
  mkdir -p "$CACHE_DIR/logs"
  "$@" >"$log" 2>&1 || rc=$?
  if [ $rc -eq 10 ]; then
    echo "ready"
  elif [ $rc -eq 0 ]; then
    echo "done ($((SECONDS - t0)) s)"
  else
    echo "FAILED"
    echo "setup failed at step '$name' (log: $log):" >&2
    tail -n 15 "$log" >&2
    echo "what to do: $hint" >&2
    exit 1
  fi
}

recipe_hash() {
  cat "$@" | sha256sum | cut -c1-12
}

# Extracts the newest fetchable version of a Debian source package into $2 and prints its folder.
fetch_source() {
  local pkg=$1 dest=$2
  rm -rf "$dest"; mkdir -p "$dest"
  local versions
  versions=$(apt-cache showsrc "$pkg" | sed -n 's/^Version: //p' | sort -rV | uniq)
  [ -n "$versions" ] || { echo "no source package $pkg (is deb-src enabled?)" >&2; return 1; }
  local v
  for v in $versions; do
    # The newest listed revision's files may be gone from the mirror: fall back to older ones.
    if (cd "$dest" && apt-get source -q "$pkg=$v" >/dev/null 2>&1); then
      find "$dest" -mindepth 1 -maxdepth 1 -type d | head -n 1
      return 0
    fi
    rm -rf "${dest:?}"/*
  done
  echo "could not fetch any version of $pkg" >&2
  return 1
}

cmake_cross() {
  local src=$1 build=$2; shift 2
  cmake -S "$src" -B "$build" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN_FILE" \
    -DFOTOLOFT_DEPS_PREFIX="$DEPS_PREFIX" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" \
    -DCMAKE_CROSSCOMPILING_EMULATOR= \
    "$@"
  cmake --build "$build" -j"$(nproc)"
  cmake --install "$build"
}

dep_build() {
  local name=$1
  local recipe="$ROOT_DIR/scripts/deps/$name.sh"
  # A recipe may keep files of its own in scripts/deps/NAME/: they count as recipe too.
  local extra=()
  [ -d "$ROOT_DIR/scripts/deps/$name" ] && mapfile -t extra < <(find "$ROOT_DIR/scripts/deps/$name" -type f | sort)
  local stamp="$STAMPS/$name-$(recipe_hash "$recipe" "${extra[@]}" "$TOOLCHAIN_FILE" "$ROOT_DIR/scripts/deps/common.sh")"
  [ -f "$stamp" ] && return 10
  # Stamps of other recipe versions stay: an older checkout sharing this cache skips too.
  local work="$DEPS_SRC/$name"
  # shellcheck source=/dev/null
  source "$recipe"
  dep_recipe "$work"
  touch "$stamp"
}
