#!/usr/bin/env bash
# Times kelvane -r over a tree against the way a Linux user reaches the same
# files without it, in the same run, the two taking turns:
#   - 100,000 small metainfo files in 1,000 folders (10 folders of 100, each
#     of those holding 100 files), as one target: kelvane -r TREE;
#   - find TREE -type f -print0 | xargs -0 kelvane over the same tree.
# Goal: -r at most the time of find and xargs, and under 64 MiB of peak
# memory. The output is checked first: a line for each file, in the order of
# find TREE -type f | LC_ALL=C sort, the same lines xargs gives.
#
# Usage: bench/tree/run.sh
#   BENCH_RUNS=<n>   runs of each case (default 5); KELVANE and
#                    KELVANE_BENCH_BUILD as bench/build.sh says
# Exits non-zero when a goal is missed. The table is also left in
# bench/out/tree/table.txt.
set -euo pipefail
# shellcheck source=../build.sh
. "$(dirname "$0")/../build.sh"

bench_kelvane
bench_workspace tree

bench_table "${BENCH_RUNS:-5}" <<'PY'
import os, random, statistics, subprocess, sys, time

exe, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
tree = os.path.join(work, "tree")

# Small single-file torrents of varied size (1 KiB on average), 100 to a folder.
print("making the tree", file=sys.stderr)
rnd = random.Random(42)
for top in range(10):
    for sub in range(100):
        folder = os.path.join(tree, f"{2015 + top}", f"batch {sub:02d}")
        os.makedirs(folder)
        for i in range(100):
            pieces = rnd.randbytes(20 * rnd.randint(1, 100))
            name = b"content %d-%d-%d" % (top, sub, i)
            info = (b"d6:lengthi%de4:name%d:%s12:piece lengthi32768e6:pieces%d:"
                    % (rnd.randint(1, 1 << 30), len(name), name, len(pieces)) + pieces + b"e")
            with open(os.path.join(folder, f"t{i:03d}.torrent"), "wb") as f:
                f.write(b"d8:announce31:http://tracker.invalid/announce4:info" + info + b"e")

recursive = [exe, "-r", tree]
find_xargs = ["sh", "-c", 'find "$1" -type f -print0 | xargs -0 "$2"', "sh", tree, exe]

# A benchmark that measures a wrong answer is worthless: check first.
order = subprocess.run(f"find '{tree}' -type f | LC_ALL=C sort", shell=True, check=True,
                       stdout=subprocess.PIPE).stdout.decode().splitlines()
walked = subprocess.run(recursive, check=True, stdout=subprocess.PIPE).stdout.decode().splitlines()
piped = subprocess.run(find_xargs, check=True, stdout=subprocess.PIPE).stdout.decode().splitlines()
if (len(order) != 100000 or [line[42:] for line in walked] != order
        or sorted(walked) != sorted(piped) or any(line.startswith("Error") for line in walked)):
    sys.exit("-r does not give the line of every file in the order of find | sort")

def once(command):
    """Wall clock and CPU seconds of one run, its children's included."""
    start = time.perf_counter()
    before = os.times()
    subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
    after = os.times()
    return (time.perf_counter() - start,
            after.children_user + after.children_system
            - before.children_user - before.children_system)

def peak_mib(command):
    """The peak resident MiB of one run (the largest of its processes), taken by GNU time: a
    child forked from this interpreter would start from the interpreter's own peak."""
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, check=True, text=True).stderr
    return int(out.split()[-1]) / 1024

print(f"timing -r and find | xargs in turn, {runs} runs each", file=sys.stderr)
load = os.getloadavg()[0]
taken = {"-r": [], "find | xargs": []}
for turn in range(runs + 1):  # the first turn warms up
    for run, command in (("find | xargs", find_xargs), ("-r", recursive)):
        figures = once(command)
        if turn:
            taken[run].append(figures)
commands = {"-r": recursive, "find | xargs": find_xargs}
medians = {run: [statistics.median(f[k] for f in taken[run]) for k in range(2)]
           + [peak_mib(commands[run])] for run in taken}
ratio = medians["-r"][0] / medians["find | xargs"][0]
ok = ratio <= 1.0 and medians["-r"][2] < 64
print(f"100,000 files in 1,000 folders; median of {runs} runs, peak of one more; "
      f"load average before: {load:.2f}")
print(f"{'run':<14} {'wall s':>7} {'CPU s':>7} {'peak MiB':>9}  goal")
for run in ("find | xargs", "-r"):
    wall, cpu, peak = medians[run]
    verdict = "" if run != "-r" else (f"{ratio:.2f} x find | xargs, peak {peak:.1f} MiB "
                                      f"(goal 1.0 x, 64 MiB) {'met' if ok else 'MISSED'}")
    print(f"{run:<14} {wall:>7.3f} {cpu:>7.3f} {peak:>9.1f}  {verdict}")
sys.exit(0 if ok else 1)
PY
