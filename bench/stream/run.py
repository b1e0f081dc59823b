#!/usr/bin/python3
"""Writes a 1 GB metainfo file into FOLDER and times kelvane reading it named
directly and through a pipe, each run its own process, and prints the table.

usage: run.py KELVANE FOLDER RUNS
"""

import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from large.measure import machine, peak_kib  # noqa: E402
from small_torrents import sparse_single_file  # noqa: E402

GB = 10**9


def make(folder):
    """A single-file torrent whose pieces string makes the file 1 GB; sparse.
    Returns its path and the line kelvane -hash must print."""
    path = os.path.join(folder, "gb.torrent")
    return path, sparse_single_file(path, b"", GB // 20 * 20 - 100).encode() + b"\n"


def one_run(kelvane, path, how):
    """Wall seconds, kelvane's CPU seconds, and its output."""
    start = time.perf_counter()
    if how == "named":
        child, feeder = subprocess.Popen([kelvane, "-hash", path], stdout=subprocess.PIPE), None
    else:
        feeder = subprocess.Popen(["cat", path], stdout=subprocess.PIPE)
        child = subprocess.Popen([kelvane, "-hash", "-" if how == "pipe" else "/dev/stdin"],
                                 stdin=feeder.stdout, stdout=subprocess.PIPE)
        feeder.stdout.close()
    out = child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    if feeder:
        feeder.wait()
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"kelvane failed ({how})")
    return wall, usage.ru_utime + usage.ru_stime, out


def peak(kelvane, path, how):
    """kelvane's peak resident KiB over one more run."""
    if how == "named":
        return peak_kib([kelvane, "-hash", path])
    feeder = subprocess.Popen(["cat", path], stdout=subprocess.PIPE)
    kib = peak_kib([kelvane, "-hash", "-" if how == "pipe" else "/dev/stdin"], feeder.stdout)
    feeder.stdout.close()
    feeder.wait()
    return kib


def main():
    kelvane, folder, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    path, want = make(folder)
    hows = ("named", "pipe", "dev-stdin")
    results = {how: [] for how in hows}
    for n in range(runs + 1):
        for how in hows:  # taking turns, so that a busy moment touches every row
            wall, cpu, out = one_run(kelvane, path, how)
            if out != want:
                sys.exit(f"kelvane gives {out!r} {how}, expected {want!r}")
            if n > 0:
                results[how].append((wall, cpu))
    print(f"machine: {machine()}")
    print(f"load average (1 min): {os.getloadavg()[0]:.2f}; median of {runs} runs after one "
          f"warm-up; file {os.path.getsize(path) / 1e9:.2f} GB")
    print()
    print("| run | wall s | CPU s | peak MiB | x named | goal |")
    print("|---|---|---|---|---|---|")
    base = statistics.median(r[0] for r in results["named"])
    labels = {"named": "`kelvane -hash FILE`", "pipe": "`cat FILE | kelvane -hash -`",
              "dev-stdin": "`cat FILE | kelvane -hash /dev/stdin`"}
    for how in hows:
        wall = statistics.median(r[0] for r in results[how])
        cpu = statistics.median(r[1] for r in results[how])
        peak_mib = peak(kelvane, path, how) / 1024
        ratio = wall / base
        goal = "" if how == "named" else (
            f"<= 1.25x ({'met' if ratio <= 1.25 else 'MISSED'}), "
            f"< 16 MiB ({'met' if peak_mib < 16 else 'MISSED'})")
        print(f"| {labels[how]} | {wall:.3f} | {cpu:.3f} | {peak_mib:.1f} | {ratio:.2f} | {goal} |")


if __name__ == "__main__":
    main()
