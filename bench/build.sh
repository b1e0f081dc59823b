# Sourced by the benchmark scripts, after they set $repo: one way to build what
# they time, so that every benchmark measures the same kind of binary.

# bench_build DIR TARGET...: a Release build of TARGETs (with the benchmark
# programs on) in DIR; on failure prints the log's end and exits 2.
bench_build() {
  local build=$1
  shift
  mkdir -p "$build"
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKELVANE_BUILD_TESTS=OFF \
    -DKELVANE_BUILD_BENCH=ON > "$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 2; }
  cmake --build "$build" --target "$@" -j2 > "$build/build.log" 2>&1 ||
    { tail -40 "$build/build.log" >&2; exit 2; }
}

# bench_kelvane: sets $exe to $KELVANE when given, else to a Release kelvane
# built in $KELVANE_BENCH_BUILD (default bench/out/build).
bench_kelvane() {
  if [[ -n ${KELVANE:-} ]]; then
    exe=$(realpath "$KELVANE")
    return
  fi
  local build=${KELVANE_BENCH_BUILD:-$repo/bench/out/build}
  echo "building kelvane (Release) in $build" >&2
  bench_build "$build" kelvane
  exe=$build/kelvane
}
