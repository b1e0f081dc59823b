#!/bin/bash
# The figures of "speed at the limit": a Release kelvane against `openssl dgst
# -sha1` over the same files in the same run, on one torrent listing 300,000
# files and on 10,000 small torrents (with a bare open/read/close loop as the
# floor); the bytes of structure per second on a sparse file of 1 GiB of zeros
# in an info list and on a million nested lists; the peak memory on files of
# the smallest values; an info value over 200 MB against openssl. Every line
# kelvane prints is checked before anything is timed.
#
#   bench/limits/run.sh [RUNS]     median of RUNS runs (default 7)
#
# Environment: KELVANE_LIMITS_BUILD (build directory, default build/limits);
# TMPDIR for the files (about 300 MB on disk; the 1 GiB file is sparse).
# The table is also left in bench/out/limits/table.md.
set -euo pipefail
# shellcheck source=../build.sh
. "$(dirname "$0")/../build.sh"

runs=${1:-7}
build=${KELVANE_LIMITS_BUILD:-$repo/build/limits}

bench_build "$build" kelvane read_loop

bench_workspace limits
files=$work
echo "making the files in $files" >&2
/usr/bin/python3 "$here/make_files.py" "$files"
/usr/bin/python3 "$here/run.py" "$build/kelvane" "$build/bench/limits/read_loop" "$files" "$runs" |
  tee "$results/table.md"
