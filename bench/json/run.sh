#!/usr/bin/env bash
# Times kelvane -json against the plain run over the same files, in the same
# run, the two taking turns (goal: -json at most 1.3 times the plain run, and
# under 64 MiB of peak memory):
#   - ten thousand small metainfo files in one folder, one run with a mask;
#   - the same files made hybrid (a v2 file tree and "meta version" 2 beside
#     the v1 keys), where -json hashes every info byte both ways;
#   - one hybrid file whose info value is over 200 MiB, scanned in windows;
#   - one hybrid file of 48 MiB, read whole.
# Each run's output is checked first: a record for every file, with the
# digests of the plain lines and, for the large files, the SHA-256 hashlib
# computes.
#
# Usage: bench/json/run.sh
#   BENCH_RUNS=<n>   runs of each case (default 10); KELVANE and
#                    KELVANE_BENCH_BUILD as bench/build.sh says
# Exits non-zero when a goal is missed. The table is also left in
# bench/out/json/table.txt.
set -euo pipefail
# shellcheck source=../build.sh
. "$(dirname "$0")/../build.sh"

bench_kelvane
bench_workspace json

bench_table "${BENCH_RUNS:-10}" "$repo/bench" <<'PY'
import hashlib, json, os, random, statistics, subprocess, sys, time

exe, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
sys.path.insert(0, sys.argv[4])
from small_torrents import bdict, bstr, hybrid_files, small_files

print("making the files", file=sys.stderr)
rnd = random.Random(42)
small_files(work, rnd)
hybrid_files(work, rnd)

def large_hybrid(name, pieces_len):
    """A hybrid single-file torrent whose pieces string is pieces_len random bytes; returns its
    path and the SHA-256 of its info value."""
    tree = bdict({b"huge.iso": bdict({b"": bdict({b"length": b"i%de" % (pieces_len * 13107),
                                                  b"pieces root": bstr(rnd.randbytes(32))})})})
    head = (b"d" + bstr(b"file tree") + tree + bstr(b"length") + b"i%de" % (pieces_len * 13107)
            + bstr(b"meta version") + b"i2e" + bstr(b"name") + bstr(b"huge.iso")
            + bstr(b"piece length") + b"i262144e" + bstr(b"pieces") + b"%d:" % pieces_len)
    sha, block = hashlib.sha256(head), rnd.randbytes(1 << 20)
    path = os.path.join(work, name)
    with open(path, "wb") as f:
        f.write(b"d" + bstr(b"announce") + bstr(b"http://tracker.invalid/announce")
                + bstr(b"info") + head)
        for at in range(0, pieces_len, len(block)):
            chunk = block[:min(len(block), pieces_len - at)]
            f.write(chunk)
            sha.update(chunk)
        f.write(b"ee")
    sha.update(b"e")
    return path, sha.hexdigest()

big, big_sha256 = large_hybrid("big.torrent", 210 * 1024 * 1024 // 20 * 20)
whole, whole_sha256 = large_hybrid("whole.torrent", 48 * 1024 * 1024 // 20 * 20)
cases = [("10,000 small v1 files, one mask", os.path.join(work, "small", "*.torrent"), None),
         ("the same files made hybrid", os.path.join(work, "hybrid", "*.torrent"), None),
         ("one hybrid file, info over 200 MiB", big, big_sha256),
         ("one hybrid file of 48 MiB, read whole", whole, whole_sha256)]

# A benchmark that measures a wrong answer is worthless: check first.
for label, target, sha256 in cases:
    plain = subprocess.run([exe, target], stdout=subprocess.PIPE, check=True).stdout
    records = [json.loads(line) for line in
               subprocess.run([exe, "-json", target], stdout=subprocess.PIPE,
                              check=True).stdout.decode().splitlines()]
    digests = [line[:40].decode().lower() for line in plain.splitlines()]
    hybrid = "small" not in target
    if (len(digests) != len(records) or len(records) not in (1, 10000)
            or [r["infohash"] for r in records] != digests
            or any((r["infohash_v2"] is not None) != hybrid or r["error"] for r in records)
            or (sha256 and records[0]["infohash_v2"] != sha256)):
        sys.exit(f"{label}: -json does not give a record with the right identities for each file")

def once(command):
    """Wall clock and CPU seconds of one run."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        sys.exit(f"{command} failed")
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime

def peak_mib(command):
    """The peak resident MiB of one run, taken by GNU time: a child forked from this interpreter
    would start from the interpreter's own peak."""
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, check=True, text=True).stderr
    return int(out.split()[-1]) / 1024

print(f"timing plain and -json in turn, {runs} runs each", file=sys.stderr)
load = os.getloadavg()[0]
rows, missed = [], False
for label, target, _ in cases:
    taken = {"plain": [], "-json": []}
    for turn in range(runs + 1):  # the first turn warms up
        for run, options in (("plain", []), ("-json", ["-json"])):
            figures = once([exe] + options + [target])
            if turn:
                taken[run].append(figures)
    medians = {run: [statistics.median(f[k] for f in taken[run]) for k in range(2)]
               + [peak_mib([exe] + (["-json"] if run == "-json" else []) + [target])]
               for run in taken}
    ratio = medians["-json"][0] / medians["plain"][0]
    ok = ratio <= 1.3 and medians["-json"][2] < 64
    missed |= not ok
    for run in taken:
        wall, cpu, peak = medians[run]
        verdict = "" if run == "plain" else (f"{ratio:.2f} x plain, peak {peak:.1f} MiB "
                                             f"(goal 1.3 x, 64 MiB) {'met' if ok else 'MISSED'}")
        rows.append((label if run == "plain" else "", run, wall, cpu / medians["plain"][1],
                     cpu, peak, verdict))
        label = ""
print(f"median of {runs} runs, peak of one more; load average before: {load:.2f}")
print(f"{'files':<40} {'run':<6} {'wall s':>7} {'CPU s':>7} {'x CPU':>6} {'peak MiB':>9}  goal")
for label, run, wall, cpu_ratio, cpu, peak, verdict in rows:
    print(f"{label:<40} {run:<6} {wall:>7.3f} {cpu:>7.3f} {cpu_ratio:>6.2f} {peak:>9.1f}  {verdict}")
sys.exit(1 if missed else 0)
PY
