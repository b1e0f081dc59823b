"""Timing helpers the large and stream benchmarks share."""

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
