#!/usr/bin/python3
"""Writes the files of the limits benchmark into a directory, and beside them
expected.tsv: one line per file with its name and the line kelvane must print
for it with -hash (the digest, or the error line).

- files-300k.torrent: one metainfo file listing 300,000 files (about 18.5 MB,
  its info value mostly dictionaries and short strings);
- small/: 10,000 small metainfo files, single- and multi-file (about 43 MB),
  and small.expected, the lines kelvane must print for them;
- zeros-1g.torrent: "d4:infol" and then 1 GiB of zero bytes, sparse on disk;
- nested-1m.torrent: an info list of one million lists, nested 1,000 deep
  and closed again, a thousand times over;
- strings-10m.torrent, dicts-1m.torrent, keys-1m.torrent: info lists of ten
  million empty strings, a million empty dictionaries, and a dictionary of a
  million keys: the smallest values, where a tree costs most per byte;
- info-200m.torrent: a single-file torrent whose info value is over 200 MB.
"""

import hashlib
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from small_torrents import bstr, files_300k, sha1_hex, small_files, write  # noqa: E402

MIB = 1 << 20


def zeros_1g(folder):
    # Sparse: the zeros take no disk space and read at memory speed.
    path = os.path.join(folder, "zeros-1g.torrent")
    with open(path, "wb") as f:
        f.write(b"d4:infol")
        f.truncate(8 + 1024 * MIB)
    return "zeros-1g.torrent", "Error in file "


def nested_1m(folder):
    info = b"l" + (b"l" * 1000 + b"e" * 1000) * 1000 + b"e"
    write(folder, "nested-1m.torrent", b"d4:info" + info + b"e")
    return "nested-1m.torrent", sha1_hex(info)


def tiny_values(folder, name, info):
    write(folder, name, b"d4:info" + info + b"e")
    return name, sha1_hex(info)


def info_200m(folder, rnd):
    size = 200 * MIB // 20 * 20
    head = b"d6:lengthi%de4:name8:huge.iso12:piece lengthi262144e6:pieces%d:" % (
        size // 20 * 262144, size)
    sha = hashlib.sha1(head)
    block = rnd.randbytes(MIB)
    with open(os.path.join(folder, "info-200m.torrent"), "wb") as f:
        f.write(b"d8:announce" + bstr(b"http://tracker.invalid/a") + b"4:info" + head)
        for at in range(0, size, MIB):
            chunk = block[: min(MIB, size - at)]
            f.write(chunk)
            sha.update(chunk)
        f.write(b"ee")
    sha.update(b"e")
    return "info-200m.torrent", sha.hexdigest().upper()


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_files.py DIRECTORY")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    rnd = random.Random(15)
    small_files(folder, rnd)
    cases = [
        files_300k(folder, rnd, 600, b"part-%06d.dat", 160000),
        zeros_1g(folder),
        nested_1m(folder),
        tiny_values(folder, "strings-10m.torrent", b"l" + b"0:" * 10000000 + b"e"),
        tiny_values(folder, "dicts-1m.torrent", b"l" + b"de" * 1000000 + b"e"),
        tiny_values(folder, "keys-1m.torrent",
                    b"d" + b"".join(b"7:%07di%de" % (n, n) for n in range(1000000)) + b"e"),
        info_200m(folder, rnd),
    ]
    with open(os.path.join(folder, "expected.tsv"), "w") as f:
        for name, line in cases:
            f.write("%s\t%s\n" % (name, line))


if __name__ == "__main__":
    main()
