"""Timing and checking helpers the large, limits and stream benchmarks share."""

import os
import platform
import statistics
import subprocess
import sys
import time


def machine():
    model = "unknown"
    for line in open("/proc/cpuinfo"):
        if line.startswith("model name"):
            model = line.split(":", 1)[1].strip()
            break
    sha = "yes" if " sha_ni" in open("/proc/cpuinfo").read() else "no"
    mem = int(open("/proc/meminfo").readline().split()[1]) / 2**20
    openssl = subprocess.run(["openssl", "version"], capture_output=True, text=True).stdout.strip()
    return (f"{model}, {os.cpu_count()} cores, {mem:.1f} GiB, SHA extensions: {sha}; "
            f"{platform.system()} {platform.release()}; {openssl}")


def peak_kib(command, stdin=None):
    """The peak resident KiB of one run, taken by GNU time: a child forked from
    this interpreter would start from the interpreter's own peak."""
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdin=stdin,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=True,
                         text=True).stderr
    return int(out.split()[-1])


def measure(commands, runs):
    """For each command (a list of words): the median wall clock and CPU
    seconds over runs runs after one warm-up, each run its own process, the
    commands taking turns so that a busy moment touches all of them; and the
    peak resident KiB of one more run."""
    results = [[] for _ in commands]
    for n in range(runs + 1):
        for k, command in enumerate(commands):
            start = time.perf_counter()
            child = subprocess.Popen(command, stdout=subprocess.DEVNULL)
            _, status, usage = os.wait4(child.pid, 0)
            wall = time.perf_counter() - start
            if os.waitstatus_to_exitcode(status) != 0:
                sys.exit("failed: %s" % command[:3])
            if n > 0:
                results[k].append((wall, usage.ru_utime + usage.ru_stime))
    return [(statistics.median(r[0] for r in rows), statistics.median(r[1] for r in rows),
             peak_kib(command)) for rows, command in zip(results, commands)]


def check(kelvane, folder):
    """A benchmark of a wrong answer is worthless: every line is checked."""
    for line in open(os.path.join(folder, "expected.tsv")):
        name, want = line.rstrip("\n").split("\t")
        got = subprocess.run([kelvane, "-hash", os.path.join(folder, name)],
                             capture_output=True).stdout.decode().rstrip("\n")
        if got != want:
            sys.exit(f"kelvane gives {got!r} for {name}, expected {want!r}")
    got = subprocess.run([kelvane, os.path.join(folder, "small", "*.torrent")],
                         capture_output=True).stdout.decode()
    # A line shows the name as the mask gave it; the expected lines hold the file's own name.
    lines = [digest + "  " + os.path.basename(name)
             for digest, name in (line.split("  ", 1) for line in got.splitlines())]
    if sorted(lines) != sorted(open(os.path.join(folder, "small.expected")).read().splitlines()):
        sys.exit("kelvane's lines for the small files differ from the expected ones")
