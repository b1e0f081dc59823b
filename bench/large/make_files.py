#!/usr/bin/python3
"""Writes the files of the large benchmark into a directory, and beside them
expected.tsv: one line per file with its name and the line kelvane -hash must
print for it.

- files-300k.torrent: one metainfo file listing 300,000 files (about 14.3 MB);
- info-1g.torrent: an info value of 1 GiB, its piece hashes zeros, sparse;
- info-200m.torrent and small/: as the limits benchmark makes them (a 200 MB
  info value; 10,000 small metainfo files and small.expected).
"""

import hashlib
import os
import random
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, ".."))
sys.path.insert(0, os.path.join(here, "..", "limits"))
from small_torrents import bstr, sha1_hex, small_files, write  # noqa: E402
from make_files import info_200m  # noqa: E402

GIB = 1 << 30


def files_300k(folder, rnd):
    entries = []
    for n in range(300000):
        path = b"l" + bstr(b"d%02d" % (n % 60)) + bstr(b"f%06d" % n) + b"e"
        entries.append(b"d6:lengthi%de4:path%se" % (rnd.randint(1, 1 << 24), path))
    pieces = rnd.randbytes(20 * 80000)
    info = (b"d5:filesl" + b"".join(entries) + b"e4:name" + bstr(b"three hundred thousand")
            + b"12:piece lengthi262144e6:pieces" + bstr(pieces) + b"e")
    write(folder, "files-300k.torrent", b"d8:announce" + bstr(b"http://tracker.invalid/a")
          + b"4:info" + info + b"e")
    return "files-300k.torrent", sha1_hex(info)


def info_1g(folder):
    size = GIB // 20 * 20
    head = b"d6:lengthi%de4:name6:gb.iso12:piece lengthi262144e6:pieces%d:" % (
        size // 20 * 262144, size)
    with open(os.path.join(folder, "info-1g.torrent"), "wb") as f:
        f.write(b"d8:announce" + bstr(b"http://tracker.invalid/a") + b"4:info" + head)
        f.truncate(f.tell() + size)
        f.seek(0, os.SEEK_END)
        f.write(b"ee")
    sha, zeros = hashlib.sha1(head), bytes(1 << 24)
    for at in range(0, size, len(zeros)):
        sha.update(zeros[: min(len(zeros), size - at)])
    sha.update(b"e")
    return "info-1g.torrent", sha.hexdigest().upper()


def main():
    folder = sys.argv[1]
    rnd = random.Random(22)
    rows = [files_300k(folder, rnd), info_1g(folder), info_200m(folder, rnd)]
    small_files(folder, rnd)
    with open(os.path.join(folder, "expected.tsv"), "w") as f:
        for name, line in rows:
            f.write(f"{name}\t{line}\n")


if __name__ == "__main__":
    main()
