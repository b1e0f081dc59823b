#!/usr/bin/python3
"""Writes the crafted files for the hostile-input benchmark into a directory.

Also writes cases.tsv there: one line per file with its name, the line the
program must print for it, the time limit in CPU seconds and the memory limit
in MiB. Files made of tiny values may take at most 128 times their size.
"""

import hashlib
import os
import sys

MIB = 1 << 20


def hash_key(key):
    """The table's bucket hash, to craft keys that all land in one bucket."""
    h = 0x12345670
    for c in key:
        h = ((h << 4) + c) & 0xFFFFFFFF
        g = h & 0xF0000000
        if g:
            h |= g >> 24
    return h


def digest_hex(*parts):
    """SHA-1 of the parts in order; an integer part stands for that many zeros."""
    sha = hashlib.sha1()
    block = bytes(MIB)
    for part in parts:
        if isinstance(part, int):
            for at in range(0, part, MIB):
                sha.update(block[: min(MIB, part - at)])
        else:
            sha.update(part)
    return sha.hexdigest().upper()


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
    return name


def huge_string_at_end(folder):
    # The file ends inside the info value: no digest, and nothing allocated for the string.
    data = b"d4:infod6:pieces2147483647:abc"
    return write(folder, "string-2g.torrent", data), "Error in file ", 2, 64


def own_info_length(folder):
    # A range past the end of the file is refused before anything is read.
    data = b"d4:infoi1e12:_info_lengthi2147483647ee"
    return write(folder, "length-2g.torrent", data), "Error in file ", 2, 64


def colliding_keys(folder, count=1000000):
    # After a byte whose low nibble is 0xF and a last byte below 0x10, the
    # seven bits that pick the bucket are fixed: every key shares bucket 117.
    keys = [b"%07d?\x05" % n for n in range(count)]
    assert len({hash_key(k) & 127 for k in keys[:1000]}) == 1
    info = b"d" + b"".join(b"9:%si%de" % (k, n) for n, k in enumerate(keys)) + b"e"
    data = b"d4:info" + info + b"e"
    return write(folder, "keys-1m.torrent", data), digest_hex(info), 2, 512


MASK64 = (1 << 64) - 1
MUL64 = (0xC6A4A793 << 32) + 0x5BD1E995  # libstdc++'s 64-bit byte hash


def block_mix(load):
    v = (load * MUL64) & MASK64
    return ((v ^ (v >> 47)) * MUL64) & MASK64


def block_unmix(mixed):
    inverse = pow(MUL64, -1, 1 << 64)
    v = (mixed * inverse) & MASK64
    return ((v ^ (v >> 47)) * inverse) & MASK64


def hash_flood_keys(folder, chunks=16):
    # That hash mixes each 8-byte block on its own, XORs it into the state and
    # multiplies the state by an odd number. Two blocks whose mixed values
    # differ only in the top bit, followed by two more that do the same,
    # leave the state as it was: each 16-byte chunk has two spellings, and
    # 2^chunks keys share one hash value as well as one bucket.
    spellings = []
    for c in range(chunks):
        first = [0x4141414141414141 + c, 0x4242424242424242 + c]
        other = [block_unmix(block_mix(x) ^ (1 << 63)) for x in first]
        spellings.append([b"".join(x.to_bytes(8, "little") for x in pair) for pair in (first, other)])
    entries = []
    for n in range(1 << chunks):
        key = b"".join(spellings[c][n >> c & 1] for c in range(chunks)) + b"?\x05"
        entries.append(b"%d:%si%de" % (len(key), key, n))
    info = b"d" + b"".join(entries) + b"e"
    data = b"d4:info" + info + b"e"
    return write(folder, "keys-flood.torrent", data), digest_hex(info), 2, 512


def nested_lists(folder, depth=10000000):
    data = b"d4:info" + b"l" * depth + b"e" * depth + b"e"
    return write(folder, "nest-10m.torrent", data), "Error in file ", 2, 64


def many_values(folder, name, value, count):
    # Every value is an object of its own, so the smallest values cost the
    # most memory per byte of file.
    info = b"l" + value * count + b"e"
    data = b"d4:info" + info + b"e"
    limit = max(64, 128 * len(data) // MIB)
    return write(folder, name, data), digest_hex(info), 2, limit


def empty_strings(folder):
    return many_values(folder, "strings-10m.torrent", b"0:", 10000000)


def empty_dictionaries(folder):
    return many_values(folder, "dicts-1m.torrent", b"de", 1000000)


def small_dictionaries(folder):
    return many_values(folder, "dicts-1key-1m.torrent", b"d1:ai0ee", 1000000)


def big_pieces(folder, size=512 * MIB):
    head = b"d4:infod6:lengthi%de4:name8:big.data12:piece lengthi16384e6:pieces%d:" % (size, size)
    tail = b"ee"
    path = os.path.join(folder, "pieces-512m.torrent")
    with open(path, "wb") as f:
        f.write(head)
        block = bytes(MIB)
        for _ in range(size // MIB):
            f.write(block)
        f.write(tail)
    want = digest_hex(head[7:], size, tail[:1])
    limit = int(2.2 * (len(head) + size + len(tail)) / MIB)
    return "pieces-512m.torrent", want, 4, limit


def good_file(folder):
    info = b"d6:lengthi1000e4:name8:good.txt12:piece lengthi16384e6:pieces20:" + bytes(range(20)) + b"e"
    data = b"d8:announce14:http://t.local4:info" + info + b"e"
    return write(folder, "good.torrent", data), digest_hex(info), 2, 64


CASES = (huge_string_at_end, own_info_length, colliding_keys, hash_flood_keys, nested_lists,
         empty_strings, empty_dictionaries, small_dictionaries, big_pieces, good_file)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_files.py DIRECTORY")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "cases.tsv"), "w") as cases:
        for make in CASES:
            name, line, seconds, mib = make(folder)
            cases.write("%s\t%s\t%d\t%d\n" % (name, line, seconds, mib))


if __name__ == "__main__":
    main()
