#!/usr/bin/env bash
# Bytes of structure per second, digest included: kelvane -hash over three
# files whose info value is one list of small items, beside `openssl dgst
# -sha1` and `sha1sum` over the same file in the same run (goal: at least
# 1,000 MB/s wall clock for each):
#   - 64 Mi empty lists `le`;
#   - 20 Mi integers `i12345e`;
#   - 30 Mi strings `3:abc`;
# each as `d4:infol` ... `ee`. Every digest kelvane prints is checked first.
#
# Usage: bench/structure/run.sh [RUNS]     median of RUNS runs (default 5)
#   KELVANE=<path>           time this executable instead of building one
#   KELVANE_BENCH_BUILD=<d>  Release build folder (default: bench/out/build)
# TMPDIR for the files (about 440 MB).
set -euo pipefail
# shellcheck source=../build.sh
. "$(dirname "$0")/../build.sh"

runs=${1:-5}

bench_kelvane

bench_workspace structure
python3 - "$work" "$exe" "$runs" <<'PY'
import hashlib, os, statistics, subprocess, sys, time

work, exe, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])

def median_wall(command):
    """Median wall clock of runs runs after one warm-up, each its own process."""
    walls = []
    for n in range(runs + 1):
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
        if n > 0:
            walls.append(time.perf_counter() - start)
    return statistics.median(walls)

print("| info value | MB | kelvane MB/s | openssl dgst -sha1 MB/s | sha1sum MB/s |")
print("|---|---|---|---|---|")
for name, item, count in [("64 Mi empty lists `le`", b"le", 64 << 20),
                          ("20 Mi integers `i12345e`", b"i12345e", 20 << 20),
                          ("30 Mi strings `3:abc`", b"3:abc", 30 << 20)]:
    path = os.path.join(work, "structure.torrent")
    info = b"l" + item * count + b"e"
    with open(path, "wb") as f:
        f.write(b"d4:info" + info + b"e")
    want = hashlib.sha1(info).hexdigest().upper()
    got = subprocess.run([exe, "-hash", path], capture_output=True, check=True).stdout.decode()
    if got.strip() != want:
        sys.exit(f"kelvane gives {got.strip()!r} for {name}, expected {want}")
    del info
    mb = os.path.getsize(path) / 1e6
    rates = [mb / median_wall(c) for c in ([exe, "-hash", path], ["openssl", "dgst", "-sha1", path],
                                           ["sha1sum", path])]
    print(f"| {name} | {mb:.0f} | {rates[0]:.0f} | {rates[1]:.0f} | {rates[2]:.0f} |")
    os.remove(path)
print(f"load average at the end: {os.getloadavg()[0]:.2f}")
PY
