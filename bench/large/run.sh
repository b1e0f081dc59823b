#!/bin/bash
# One large torrent against `openssl dgst -sha1` over the same file in the same
# run: a torrent listing 300,000 files, an info value of 1 GiB (peak memory),
# one over 200 MB, and 10,000 small torrents (beside them also two openssl at
# once, each over half the files: what two cores give that work on this
# machine at best). Every line kelvane prints is
# checked before anything is timed.
#
#   bench/large/run.sh [RUNS]     median of RUNS runs (default 7)
#
# Environment: KELVANE_LARGE_BUILD (build directory, default build/large);
# TMPDIR for the files (about 270 MB on disk; the 1 GiB file is sparse).
# The table is also left in bench/out/large/table.md.
set -euo pipefail
# shellcheck source=../build.sh
. "$(dirname "$0")/../build.sh"

runs=${1:-7}
build=${KELVANE_LARGE_BUILD:-$repo/build/large}

bench_build "$build" kelvane

bench_workspace large
files=$work
echo "making the files in $files" >&2
/usr/bin/python3 "$here/make_files.py" "$files"
/usr/bin/python3 "$here/run.py" "$build/kelvane" "$files" "$runs" | tee "$results/table.md"
