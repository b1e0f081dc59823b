#!/usr/bin/python3
"""Times kelvane on the files make_files.py wrote, beside its reference in the
same run, checks every line it prints first, and prints the table.

usage: run.py KELVANE READ_LOOP FOLDER RUNS
"""

import glob
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from large.measure import check, machine  # noqa: E402
from large.measure import measure as measure_all  # noqa: E402


def measure(command, runs):
    """Median wall clock and CPU seconds over runs runs after one warm-up, and
    the peak resident KiB of one more run."""
    return measure_all([command], runs)[0]


def main():
    kelvane, read_loop, folder, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    check(kelvane, folder)
    path = lambda name: os.path.join(folder, name)
    size = lambda name: os.path.getsize(path(name))
    small = sorted(glob.glob(path("small/*.torrent")))
    small_bytes = sum(os.path.getsize(f) for f in small)
    load_before = os.getloadavg()[0]

    t = {}
    t["base"] = measure([kelvane, "-hash", path("small/t00000.torrent")], runs)
    t["300k"] = measure([kelvane, "-hash", path("files-300k.torrent")], runs)
    t["300k ssl"] = measure(["openssl", "dgst", "-sha1", path("files-300k.torrent")], runs)
    t["small"] = measure([kelvane, path("small/*.torrent")], runs)
    t["small ssl"] = measure(["openssl", "dgst", "-sha1"] + small, runs)
    t["small floor"] = measure([read_loop] + small, runs)
    t["zeros"] = measure([kelvane, "-hash", path("zeros-1g.torrent")], max(1, runs // 5))
    t["nested"] = measure([kelvane, "-hash", path("nested-1m.torrent")], runs)
    for name in ("strings-10m", "dicts-1m", "keys-1m"):
        t[name] = measure([kelvane, "-hash", path(name + ".torrent")], max(1, runs // 3))
    t["200m"] = measure([kelvane, "-hash", path("info-200m.torrent")], runs)
    t["200m ssl"] = measure(["openssl", "dgst", "-sha1", path("info-200m.torrent")], runs)
    load_after = os.getloadavg()[0]

    print(f"machine: {machine()}")
    print(f"load average (1 min): {load_before:.2f} before, {load_after:.2f} after; "
          f"median of {runs} runs (fewer for the slow cases) after one warm-up")
    base_kib = t["base"][2]
    print(f"kelvane's peak over one small file (the constant): {base_kib / 1024:.1f} MiB")
    print()
    print("| case | run | wall s | CPU s | figure | goal |")
    print("|---|---|---|---|---|---|")

    def row(case, label, key, figure="", goal=""):
        wall, cpu, _ = t[key]
        print(f"| {case} | {label} | {wall:.4f} | {cpu:.4f} | {figure} | {goal} |")

    def verdict(ok):
        return "met" if ok else "MISSED"

    ratio = t["300k"][0] / t["300k ssl"][0]
    peak = t["300k"][2] * 1024 / size("files-300k.torrent")
    case = f"300,000 files, {size('files-300k.torrent') / 1e6:.1f} MB"
    row(case, "kelvane", "300k", f"{ratio:.2f}x openssl; peak {peak:.2f}x the file",
        f"<= 5x ({verdict(ratio <= 5)}), stretch 2x ({verdict(ratio <= 2)}); "
        f"peak <= 4x ({verdict(peak <= 4)})")
    row(case, "openssl dgst -sha1", "300k ssl")

    ratio = t["small"][0] / t["small ssl"][0]
    case = f"{len(small)} small files, {small_bytes / 1e6:.1f} MB"
    row(case, "kelvane, one mask", "small", f"{ratio:.2f}x openssl",
        f"<= 0.8x ({verdict(ratio <= 0.8)}), stretch 0.6x ({verdict(ratio <= 0.6)})")
    row(case, "openssl dgst -sha1", "small ssl")
    row(case, "open/read/close loop (floor)", "small floor",
        f"{t['small floor'][0] / t['small ssl'][0]:.2f}x openssl")

    # The bytes of structure per second of the work on the file: the run less
    # a run over one small file, which is all start-up; the whole run beside.
    for key, name, label in (("zeros", "zeros-1g.torrent", '"d4:infol" + 1 GiB of zeros'),
                             ("nested", "nested-1m.torrent", "a million nested-then-closed lists")):
        rate = size(name) / max(t[key][0] - t["base"][0], 1e-6) / 1e6
        cpu_rate = size(name) / max(t[key][1] - t["base"][1], 1e-6) / 1e6
        whole = size(name) / t[key][0] / 1e6
        row(f"{label}, {size(name) / 1e6:.1f} MB", "kelvane", key,
            f"{rate:.0f} MB/s ({cpu_rate:.0f} by CPU time; {whole:.0f} with start-up)",
            f">= 400 MB/s ({verdict(rate >= 400)})")
    row("one small file: start-up", "kelvane", "base")

    for key, name, label in (("strings-10m", "strings-10m.torrent", "ten million empty strings"),
                             ("dicts-1m", "dicts-1m.torrent", "a million empty dictionaries"),
                             ("keys-1m", "keys-1m.torrent", "a million keys"),
                             ("nested", "nested-1m.torrent", "a million nested lists"),
                             ("300k", "files-300k.torrent", "300,000 files")):
        extra = max(0, t[key][2] - base_kib) * 1024 / size(name)
        row(f"memory: {label}, {size(name) / 1e6:.1f} MB", "kelvane", key,
            f"peak {t[key][2] / 1024:.1f} MiB = constant + {extra:.2f} n",
            f"<= 8 n + constant ({verdict(extra <= 8)})")

    ratio = t["200m"][0] / t["200m ssl"][0]
    case = f"info value over 200 MB, {size('info-200m.torrent') / 1e6:.1f} MB"
    row(case, "kelvane", "200m", f"{ratio:.2f}x openssl", f"<= 1.0x ({verdict(ratio <= 1.0)})")
    row(case, "openssl dgst -sha1", "200m ssl")


if __name__ == "__main__":
    main()
