#!/usr/bin/python3
"""Times kelvane on the files make_files.py wrote, each beside its reference
in the same run, checks every line it prints first, and prints the table.

usage: run.py KELVANE FOLDER RUNS
"""

import glob
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from measure import check, machine, measure  # noqa: E402


def main():
    kelvane, folder, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    check(kelvane, folder)
    path = lambda name: os.path.join(folder, name)
    size = lambda name: os.path.getsize(path(name))
    small = sorted(glob.glob(path("small/*.torrent")))
    load = os.getloadavg()[0]
    base, = measure([[kelvane, "-hash", small[0]]], runs)
    big = measure([[kelvane, "-hash", path("files-300k.torrent")],
                   ["openssl", "dgst", "-sha1", path("files-300k.torrent")]], runs)
    gib = measure([[kelvane, "-hash", path("info-1g.torrent")],
                   [kelvane, "-magnet", path("info-1g.torrent")],
                   ["openssl", "dgst", "-sha1", path("info-1g.torrent")]], max(1, runs // 3))
    m200 = measure([[kelvane, "-hash", path("info-200m.torrent")],
                    ["openssl", "dgst", "-sha1", path("info-200m.torrent")]], runs)
    # What two cores give this work at best here: two openssl at once, each over half the files.
    halves = [path("small-1.list"), path("small-2.list")]
    for name, part in zip(halves, (small[:len(small) // 2], small[len(small) // 2:])):
        with open(name, "w") as f:
            f.write("\n".join(part) + "\n")
    many = measure([[kelvane, path("small/*.torrent")], ["openssl", "dgst", "-sha1"] + small,
                    ["sh", "-c", 'xargs -a "$1" openssl dgst -sha1 & xargs -a "$2" openssl dgst '
                     '-sha1; wait', "sh"] + halves], runs)

    print(f"machine: {machine()}")
    print(f"load average (1 min): {load:.2f} before, {os.getloadavg()[0]:.2f} after; median of "
          f"{runs} runs (fewer for 1 GiB) after one warm-up, the rows of a case taking turns")
    print(f"kelvane's peak over one small file (start-up): {base[2] / 1024:.1f} MiB")
    print()
    print("| case | run | wall s | CPU s | peak MiB | figure | goal |")
    print("|---|---|---|---|---|---|---|")

    def verdict(ok):
        return "met" if ok else "MISSED"

    def row(case, label, result, figure="", goal=""):
        wall, cpu, peak = result
        print(f"| {case} | {label} | {wall:.4f} | {cpu:.4f} | {peak / 1024:.1f} | {figure} | "
              f"{goal} |")

    case = f"300,000 files, {size('files-300k.torrent') / 1e6:.1f} MB"
    ratio, extra = big[0][0] / big[1][0], (big[0][2] - base[2]) / 1024
    row(case, "kelvane -hash", big[0], f"{ratio:.2f}x openssl; start-up + {extra:.1f} MiB",
        f"<= 1.5x ({verdict(ratio <= 1.5)}), stretch 1.2x ({verdict(ratio <= 1.2)}); "
        f"<= 16 MiB ({verdict(extra <= 16)})")
    row(case, "openssl dgst -sha1", big[1])
    case = f"1 GiB info value, {size('info-1g.torrent') / 1e9:.2f} GB"
    for k, label in ((0, "kelvane -hash"), (1, "kelvane -magnet")):
        extra = (gib[k][2] - base[2]) / 1024
        row(case, label, gib[k], f"{gib[k][0] / gib[2][0]:.2f}x openssl; start-up + "
            f"{extra:.1f} MiB", f"<= 16 MiB ({verdict(extra <= 16)})")
    row(case, "openssl dgst -sha1", gib[2])
    case = f"info value over 200 MB, {size('info-200m.torrent') / 1e6:.1f} MB"
    ratio = m200[0][0] / m200[1][0]
    row(case, "kelvane -hash", m200[0], f"{ratio:.2f}x openssl",
        f"<= 0.85x ({verdict(ratio <= 0.85)})")
    row(case, "openssl dgst -sha1", m200[1])
    case = f"{len(small)} small files, {sum(map(os.path.getsize, small)) / 1e6:.1f} MB"
    ratio = many[0][0] / many[1][0]
    row(case, "kelvane, one mask", many[0], f"{ratio:.2f}x openssl",
        f"<= 0.55x ({verdict(ratio <= 0.55)})")
    row(case, "openssl dgst -sha1", many[1])
    row(case, "two openssl at once, each over half", many[2],
        f"{many[2][0] / many[1][0]:.2f}x one openssl (this machine's two-core speed-up for the "
        "work)")


if __name__ == "__main__":
    main()
