"""The set of small metainfo files several benchmarks time: single- and
multi-file torrents of varied size, with sizes that agree with their piece
count (the other tools check that), made the same for the same random seed;
and the large files more than one benchmark makes."""

import hashlib
import os
import re


def bstr(data):
    return b"%d:%s" % (len(data), data)


def sha1_hex(*parts):
    sha = hashlib.sha1()
    for part in parts:
        sha.update(part)
    return sha.hexdigest().upper()


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def small_files(folder, rnd, count=10000):
    small = os.path.join(folder, "small")
    os.makedirs(small)
    expected = []
    for i in range(count):
        piece = 1 << rnd.randint(15, 22)
        npieces = rnd.randint(1, 400)
        total = (npieces - 1) * piece + rnd.randint(1, piece)
        info = b"d"
        if rnd.random() < 0.4:
            cuts = sorted(rnd.sample(range(1, total), min(rnd.randint(1, 29), total - 1)))
            sizes = [b - a for a, b in zip([0] + cuts, cuts + [total])]
            info += b"5:filesl" + b"".join(
                b"d6:lengthi%de4:pathl3:dir%see" % (size, bstr(b"file %d.bin" % j))
                for j, size in enumerate(sizes)) + b"e"
        else:
            info += b"6:lengthi%de" % total
        info += (b"4:name" + bstr(b"content %d" % i) + b"12:piece lengthi%de" % piece
                 + b"6:pieces" + bstr(rnd.randbytes(20 * npieces)))
        if rnd.random() < 0.3:
            info += b"7:privatei1e"
        info += b"e"
        data = (b"d8:announce" + bstr(b"http://tracker.invalid/announce") + b"7:comment"
                + bstr(b"benchmark file") + b"13:creation datei%de" % (1700000000 + i)
                + b"4:info" + info + b"e")
        write(small, "t%05d.torrent" % i, data)
        expected.append("%s  t%05d.torrent\n" % (sha1_hex(info), i))
    with open(os.path.join(folder, "small.expected"), "w") as f:
        f.write("".join(expected))


def bdict(items):
    return b"d" + b"".join(bstr(k) + v for k, v in sorted(items.items())) + b"e"


def hybrid_files(folder, rnd):
    """The files small_files wrote made hybrid, under the same names in folder/hybrid: "meta
    version" 2 and a file tree beside the v1 keys, in canonical order, so that the v2 info hash
    and a link hash every info byte both ways."""
    small, hybrid = os.path.join(folder, "small"), os.path.join(folder, "hybrid")
    os.makedirs(hybrid)
    for name in sorted(os.listdir(small)):
        with open(os.path.join(small, name), "rb") as f:
            data = f.read()
        start = data.index(b"4:infod") + 6
        info = data[start:-1]
        i = int(name[1:6])
        if info.startswith(b"d5:files"):
            sizes = [int(x) for x in re.findall(rb"6:lengthi(\d+)e4:path", info)]
            tree = {b"dir": bdict({f"file {j}.bin".encode(): bdict({b"": bdict({
                b"length": b"i%de" % size, b"pieces root": bstr(rnd.randbytes(32))})})
                for j, size in enumerate(sizes)})}
        else:
            size = int(re.match(rb"d6:lengthi(\d+)e", info).group(1))
            tree = {f"content {i}".encode(): bdict({b"": bdict({
                b"length": b"i%de" % size, b"pieces root": bstr(rnd.randbytes(32))})})}
        info = b"d" + bstr(b"file tree") + bdict(tree) + info[1:]
        at = info.index(bstr(b"name"))
        info = info[:at] + bstr(b"meta version") + b"i2e" + info[at:]
        with open(os.path.join(hybrid, name), "wb") as f:
            f.write(data[:start] + info + b"e")


def files_300k(folder, rnd, folders, file_name, piece_count):
    """files-300k.torrent: one metainfo file listing 300,000 files, spread over
    folders, each named file_name % its number; (its name, its -hash line)."""
    entries = []
    width = len(str(folders - 1))
    for n in range(300000):
        path = b"l" + bstr(b"d%0*d" % (width, n % folders)) + bstr(file_name % n) + b"e"
        entries.append(b"d6:lengthi%de4:path%se" % (rnd.randint(1, 1 << 24), path))
    pieces = rnd.randbytes(20 * piece_count)
    info = (b"d5:filesl" + b"".join(entries) + b"e4:name" + bstr(b"three hundred thousand")
            + b"12:piece lengthi262144e6:pieces" + bstr(pieces) + b"e")
    write(folder, "files-300k.torrent", b"d8:announce" + bstr(b"http://tracker.invalid/a")
          + b"4:info" + info + b"e")
    return "files-300k.torrent", sha1_hex(info)


def sparse_single_file(path, before, size):
    """A single-file torrent at path whose info value holds size bytes of zero
    piece hashes (size a multiple of 20), sparse on disk, after the root's
    entries before; returns the SHA-1 of its info value in upper-case hex."""
    head = b"d6:lengthi%de4:name6:gb.iso12:piece lengthi262144e6:pieces%d:" % (
        size // 20 * 262144, size)
    with open(path, "wb") as f:
        f.write(b"d" + before + b"4:info" + head)
        f.truncate(f.tell() + size)
        f.seek(0, os.SEEK_END)
        f.write(b"ee")
    sha, zeros = hashlib.sha1(head), bytes(1 << 24)
    for at in range(0, size, len(zeros)):
        sha.update(zeros[: min(len(zeros), size - at)])
    sha.update(b"e")
    return sha.hexdigest().upper()
