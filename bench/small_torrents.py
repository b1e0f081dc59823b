"""The set of small metainfo files several benchmarks time: single- and
multi-file torrents of varied size, with sizes that agree with their piece
count (the other tools check that), made the same for the same random seed."""

import hashlib
import os


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
