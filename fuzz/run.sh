#!/bin/bash
# Builds the fuzz target, replays the kept regression inputs, then fuzzes the
# per-file path for a bounded time. Exits non-zero on any finding; the input
# that caused it is left in fuzz/findings/. fuzz/regressions/ keeps the inputs
# the decoder was once hardened against (nesting at and past its limit,
# string lengths and info ranges forged far past the file, an info value cut
# short); a finding worth keeping goes there too.
#
#   fuzz/run.sh [SECONDS]     fuzzing time, default 60; 0 only replays
#
# Environment: KELVANE_FUZZ_BUILD (build directory, default build/fuzz),
# CXX (a clang++, default clang++), KELVANE_FUZZ_TIMEOUT (seconds one input
# may take, default 10; an info range lies in the input, so every input of
# at most 4096 bytes takes a small fraction of that).
set -euo pipefail

seconds=${1:-60}
case $seconds in
  '' | *[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;;
esac

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
build=${KELVANE_FUZZ_BUILD:-$repo/build/fuzz}
cxx=${CXX:-clang++}
timeout=${KELVANE_FUZZ_TIMEOUT:-10}

source "$repo/tools/packages.sh"
if [ -z "${CXX:-}" ] && ! ready fuzz_tools; then
  echo "fuzz: needs the Debian packages $(lacking fuzz_tools)" >&2
  exit 2
fi
if ! command -v "$cxx" > /dev/null; then
  echo "fuzz: $cxx not found" >&2
  exit 2
fi

mkdir -p "$build"
cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build/configure.log" 2>&1 ||
  { cat "$build/configure.log" >&2; exit 2; }
cmake --build "$build" --target kelvane_fuzz -j2 > "$build/build.log" 2>&1 ||
  { tail -40 "$build/build.log" >&2; exit 2; }
fuzzer=$build/kelvane_fuzz

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# The kept inputs are replayed first, every time.
shopt -s nullglob
regressions=("$here"/regressions/*)
if ((${#regressions[@]} > 0)); then
  "$fuzzer" -rss_limit_mb=2048 -timeout="$timeout" "${regressions[@]}" > "$build/replay.log" 2>&1 ||
    { tail -60 "$build/replay.log" >&2; echo "fuzz: a regression input fails again" >&2; exit 1; }
  echo "fuzz: ${#regressions[@]} regression inputs replayed"
fi
((seconds > 0)) || exit 0

seeds=$build/seeds
corpus=$build/corpus
rm -rf "$seeds"
/usr/bin/python3 "$here/make_corpus.py" "$seeds"
mkdir -p "$corpus" "$repo/fuzz/findings"

# New inputs go to the first directory; the seeds are regenerated each run.
set +e
"$fuzzer" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 -timeout="$timeout" \
  -dict="$here/bencode.dict" -artifact_prefix="$repo/fuzz/findings/" -print_final_stats=1 \
  "$corpus" "$seeds" 2>&1 | tee "$build/fuzz.log" |
  grep --line-buffered -E '^#[0-9]+[[:space:]]+(INITED|DONE|pulse)|^(==|SUMMARY|stat::)|invariant|artifact'
status=${PIPESTATUS[0]}
set -e
if ((status != 0)); then
  echo "fuzz: finding (exit $status); input kept in fuzz/findings/, log in $build/fuzz.log" >&2
  exit 1
fi
echo "fuzz: no finding in ${seconds}s"
