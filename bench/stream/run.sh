#!/bin/bash
# A 1 GB metainfo file read through a pipe (`cat FILE | kelvane -`, and
# /dev/stdin) against the same file named directly, in the same run: wall
# clock and kelvane's peak resident memory. Both lines are checked first.
#
#   bench/stream/run.sh [RUNS]     median of RUNS runs (default 5)
#
# Environment: KELVANE and KELVANE_BENCH_BUILD as bench/build.sh says; TMPDIR
# for the file (1 GB, sparse: its piece hashes are zeros).
# The table is also left in bench/out/stream/table.md.
set -euo pipefail
# shellcheck source=../build.sh
. "$(dirname "$0")/../build.sh"

bench_kelvane
bench_workspace stream
/usr/bin/python3 "$here/run.py" "$exe" "$work" "${1:-5}" | tee "$results/table.md"
