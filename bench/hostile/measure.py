#!/usr/bin/python3
"""Runs a command once, its standard output to a file, and prints its wall
time, CPU time (user + system) in seconds and peak resident memory in KiB, for
machines without GNU time. The child is forked from this interpreter, so the
peak is never below the interpreter's own."""

import resource
import subprocess
import sys
import time


def main():
    if len(sys.argv) < 3:
        sys.exit("usage: measure.py OUTPUT-FILE COMMAND [ARGUMENT...]")
    with open(sys.argv[1], "wb") as out:
        start = time.monotonic()
        subprocess.run(sys.argv[2:], stdout=out, check=False)
        wall = time.monotonic() - start
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    print("%.2f %.2f %d" % (wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss))


if __name__ == "__main__":
    main()
