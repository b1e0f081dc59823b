#!/bin/bash
# A 1 GB metainfo file read through a pipe (`cat FILE | kelvane -`, and
# /dev/stdin) against the same file named directly, in the same run: wall
# clock and kelvane's peak resident memory. Both lines are checked first.
#
#   bench/stream/run.sh [RUNS]     median of RUNS runs (default 5)
#
# Environment: KELVANE_STREAM_BUILD (build directory, default build/stream);
# TMPDIR for the file (1 GB, sparse: its piece hashes are zeros).
# The table is also left in bench/out/stream/table.md.
set -euo pipefail

runs=${1:-5}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${KELVANE_STREAM_BUILD:-$repo/build/stream}

mkdir -p "$repo/bench/out/stream"
# shellcheck source=../build.sh
. "$repo/bench/build.sh"
bench_build "$build" kelvane

files=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-stream.XXXXXX")
trap 'rm -rf "$files"' EXIT
/usr/bin/python3 "$here/run.py" "$build/kelvane" "$files" "$runs" | tee "$repo/bench/out/stream/table.md"
