#!/usr/bin/env bash
# Times the ways a Linux user names many files, all in the same run, over ten
# thousand small metainfo files in one folder, from that folder:
#   - one quoted mask, './*.torrent', that kelvane lists itself;
#   - the same files as the ten thousand names a shell makes of ./*.torrent,
#     each of them looked up by its exact name (goal: at most 1.5 times the
#     mask);
#   - 100,000 arguments: those names ten times over (goal: seconds, under 10).
# Each run's output is checked first: a line for every file, in order.
#
# Usage: bench/targets/run.sh
#   BENCH_RUNS=<n>   runs of each case (default 5); KELVANE and
#                    KELVANE_BENCH_BUILD as bench/build.sh says
# Exits non-zero when a goal is missed. The table is also left in
# bench/out/targets/table.txt.
set -euo pipefail
# shellcheck source=../build.sh
. "$(dirname "$0")/../build.sh"

bench_kelvane
bench_workspace targets

bench_table "${BENCH_RUNS:-5}" <<'PY'
import os, random, resource, statistics, subprocess, sys, time

exe, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
count, repeat = 10000, 10

# Small single-file torrents of varied size (4 KiB on average).
rnd = random.Random(42)
names = [f"./t{i:05d}.torrent" for i in range(count)]
for i, name in enumerate(names):
    pieces = rnd.randbytes(20 * rnd.randint(1, 400))
    info = (b"d6:lengthi%de4:name%d:content %d12:piece lengthi32768e6:pieces%d:"
            % (rnd.randint(1, 1 << 30), len(b"content %d" % i), i, len(pieces)) + pieces + b"e")
    with open(os.path.join(work, name), "wb") as f:
        f.write(b"d8:announce31:http://tracker.invalid/announce4:info" + info + b"e")

# 100,000 names exceed the usual room for arguments (a quarter of the stack limit).
soft, hard = resource.getrlimit(resource.RLIMIT_STACK)
wanted = 256 << 20
if soft != resource.RLIM_INFINITY and soft < wanted:
    resource.setrlimit(resource.RLIMIT_STACK,
                       (wanted if hard == resource.RLIM_INFINITY else min(wanted, hard), hard))

cases = [("10,000 files, one quoted mask './*.torrent'", ["./*.torrent"], count),
         ("10,000 files, the shell's ./*.torrent", names, count),
         ("100,000 arguments (those names ten times)", names * repeat, count * repeat)]

for label, args, lines in cases:
    out = subprocess.run([exe] + args, cwd=work, stdout=subprocess.PIPE, check=True).stdout
    got = out.split(b"\n")[:-1]
    # Each line shows the name as given: "./t00000.torrent".
    if len(got) != lines or any(len(line) != 40 + 2 + 16 or line[40:45] != b"  ./t" for line in got):
        sys.exit(f"{label}: {len(got)} lines, not {lines} digest lines")
    if args is names and [line[42:] for line in got] != [n.encode() for n in names]:
        sys.exit(f"{label}: the lines do not follow the arguments")

medians = []
for label, args, _ in cases:
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run([exe] + args, cwd=work, stdout=subprocess.DEVNULL, check=True)
        times.append(time.perf_counter() - start)
    medians.append(statistics.median(times))

mask = medians[0]
goals = [None, ("<= 1.5 x mask", medians[1] <= 1.5 * mask), ("< 10 s", medians[2] < 10)]
print(f"{runs} runs each, median wall clock; load average before: {os.getloadavg()[0]:.2f}")
print(f"{'case':<46} {'wall s':>8} {'x mask':>7}  goal")
for (label, _, _), median, goal in zip(cases, medians, goals):
    verdict = "" if goal is None else f"{goal[0]} {'met' if goal[1] else 'MISSED'}"
    print(f"{label:<46} {median:>8.3f} {median / mask:>7.2f}  {verdict}")
sys.exit(0 if all(goal is None or goal[1] for goal in goals) else 1)
PY
