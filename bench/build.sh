# Sourced by the benchmark scripts: one way to build what they time, so that
# every benchmark measures the same kind of binary. Sets $repo (the checkout)
# and $here (the folder of the script that sourced it).

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
here=$(cd "$(dirname "$0")" && pwd)

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

# bench_workspace NAME: sets $work to a scratch folder removed when the script
# ends, and $results to bench/out/NAME, where the script leaves its table.
bench_workspace() {
  results=$repo/bench/out/$1
  work=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-$1-XXXXXX")
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$results"
}

# bench_table RUNS [ARG...]: runs the Python program on standard input with the
# arguments $exe, $work, RUNS and ARGs, its table shown and kept in
# $results/table.txt.
bench_table() {
  python3 - "$exe" "$work" "$@" | tee "$results/table.txt"
}
