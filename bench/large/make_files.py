#!/usr/bin/python3
"""Writes the files of the large benchmark into a directory, and beside them
expected.tsv: one line per file with its name and the line kelvane -hash must
print for it.

- files-300k.torrent: one metainfo file listing 300,000 files (about 14.3 MB);
- info-1g.torrent: an info value of 1 GiB, its piece hashes zeros, sparse;
- info-200m.torrent and small/: as the limits benchmark makes them (a 200 MB
  info value; 10,000 small metainfo files and small.expected).
"""

import os
import random
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, ".."))
sys.path.insert(0, os.path.join(here, "..", "limits"))
from small_torrents import bstr, files_300k, small_files, sparse_single_file  # noqa: E402
from make_files import info_200m  # noqa: E402

GIB = 1 << 30


def info_1g(folder):
    path = os.path.join(folder, "info-1g.torrent")
    return "info-1g.torrent", sparse_single_file(path, b"8:announce" + bstr(b"http://tracker.invalid/a"),
                                                 GIB // 20 * 20)


def main():
    folder = sys.argv[1]
    rnd = random.Random(22)
    rows = [files_300k(folder, rnd, 60, b"f%06d", 80000), info_1g(folder),
            info_200m(folder, rnd)]
    small_files(folder, rnd)
    with open(os.path.join(folder, "expected.tsv"), "w") as f:
        for name, line in rows:
            f.write(f"{name}\t{line}\n")


if __name__ == "__main__":
    main()
