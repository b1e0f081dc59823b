#!/usr/bin/python3
"""Writes the fuzzer's seed inputs into a directory.

Seeds are kept under 4 KiB, the fuzzer's input limit: well-formed metainfo
files of each layout, the decoder's awkward inputs, cut-off files, deep
nesting, forged lengths, files that name their own info range, and files
made of many tiny values.
"""

import hashlib
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from bencode_tools import bencode  # noqa: E402


def digest_bytes(label, size):
    out = b""
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(b"%s-%d" % (label.encode(), counter)).digest()
        counter += 1
    return out[:size]


def single_file():
    return {
        "announce": "http://tracker.example/announce",
        "created by": "make-corpus",
        "creation date": 1700000000,
        "info": {
            "length": 100000,
            "name": "single.bin",
            "piece length": 16384,
            "pieces": digest_bytes("single", 20 * 7),
        },
    }


def multi_file():
    return {
        "announce": "udp://tracker.example:6969",
        "announce-list": [["udp://tracker.example:6969"], ["http://backup.example/a"]],
        "comment": "two files and a folder",
        "info": {
            "files": [
                {"length": 40000, "path": ["a.txt"]},
                {"length": 25000, "path": ["sub", "b.dat"]},
            ],
            "name": "folder",
            "piece length": 32768,
            "pieces": digest_bytes("multi", 20 * 2),
            "private": 1,
        },
        "url-list": ["http://mirror.example/folder/"],
    }


def hybrid():
    root_a = digest_bytes("root-a", 32)
    root_b = digest_bytes("root-b", 32)
    return {
        "announce": "http://tracker.example/announce",
        "info": {
            "file tree": {
                "a.bin": {"": {"length": 40000, "pieces root": root_a}},
                "dir": {"b.bin": {"": {"length": 70000, "pieces root": root_b}}},
            },
            "files": [
                {"length": 40000, "path": ["a.bin"]},
                {"attr": "p", "length": 25536, "path": [".pad", "25536"]},
                {"length": 70000, "path": ["dir", "b.bin"]},
            ],
            "meta version": 2,
            "name": "hybrid",
            "piece length": 65536,
            "pieces": digest_bytes("hybrid", 20 * 3),
        },
        "piece layers": {root_b: digest_bytes("layer-b", 64)},
    }


def well_formed():
    single = bencode(single_file())
    multi = bencode(multi_file())
    hyb = bencode(hybrid())
    seeds = {"single.torrent": single, "multi.torrent": multi, "hybrid.torrent": hyb}
    # The info key first, as some writers put it, and junk after the root.
    info = bencode(single_file()["info"])
    seeds["info-first.torrent"] = b"d4:info" + info + b"8:announce3:urle"
    seeds["trailing-bytes.torrent"] = single + b"\r\nnot bencode at all"
    seeds["info-in-nested-only.torrent"] = b"d1:xd4:info" + info + b"ee"
    seeds["repeated-info.torrent"] = b"d4:infoi1e4:info" + info + b"e"
    return seeds


def decoder_edges():
    rows = [
        b"", b"x", b"e", b"i42e", b"i-42e", b"i4-2e", b"i--42e", b"i42-e", b"ie", b"i-e",
        b"i-0e", b"i42", b"i42xe", b"i9223372036854775807e", b"i9223372036854775808e",
        b"i18446744073709551617e", b"4:spam", b"4xspam", b"0:", b"05:abcde", b"4:sp",
        b"4294967300:abcd", b"2147483648:abcd", b"le", b"li1exi2ee", b"li1e",
        b"d1:ai1e1:ai2ee", b"d0:i1ee", b"d3:fooxe", b"d3:fooe", b"d3:fooee", b"di1ei2ee",
        b"d4:infod6:lengthi5eee", b"d4:infoi1ee", b"d4:info", b"d4:infoxe", b"d1:xd4:infoi1eee",
        b"d11:_info_starti5e4:infoi1ee", b"d4:infoi1e11:_info_starti5ee",
        b"d4:infoi1e4:infoi22ee", b"dexyz", b"\xef\xbb\xbfd4:infoi1ee",
        b"d4:info5:info", b"d5:info\x004:infoi1ee", b"d4:INFOi1ee",
    ]
    seeds = {}
    for n, row in enumerate(rows):
        if row:
            seeds["edge-%02d.bin" % n] = row
            # The same bytes as the info value, so the range must cover them.
            seeds["edge-%02d-as-info.bin" % n] = b"d4:info" + row + b"e"
    return seeds


def truncated():
    seeds = {}
    for name, whole in (("single", bencode(single_file())), ("hybrid", bencode(hybrid()))):
        at = whole.index(b"4:info")
        cuts = {at + 3, at + 6, at + 7, at + 20, len(whole) // 2, len(whole) - 1}
        for cut in sorted(cuts):
            seeds["cut-%s-%d.torrent" % (name, cut)] = whole[:cut]
    return seeds


def deep_nesting():
    seeds = {}
    for depth in (1023, 1024, 1025, 2000):
        seeds["lists-%d.bin" % depth] = b"d4:info" + b"l" * depth + b"e" * depth + b"e"
        if depth < 1300:
            # Left open: the end of the input closes them all.
            seeds["dicts-%d.bin" % depth] = b"d4:info" + b"d0:" * depth + b"i0e"
    seeds["open-lists.bin"] = b"d4:info" + b"l" * 3000
    seeds["root-lists.bin"] = b"l" * 4000
    return seeds


def forged_lengths():
    return {
        "string-2g-at-end.bin": b"d4:infod6:pieces2147483647:abc",
        "string-4g-past-end.bin": b"d4:info4294967295:x" + b"e",
        "string-4g-plus-3.bin": b"d4:info4294967299:abce",
        "string-int64-max.bin": b"d4:info9223372036854775807:abce",
        "string-20-digits.bin": b"d4:infoi1e1:x99999999999999999999:abce",
        "pieces-999m.bin": b"d4:infod6:lengthi1e6:pieces999999999:" + b"\x01" * 40,
        "key-2g.bin": b"d2147483647:info4:spame",
        "key-cut-info.bin": b"d5:info",
        "many-digits.bin": b"d4:info" + b"9" * 200 + b":xe",
        "int-many-digits.bin": b"d4:infoi" + b"9" * 300 + b"ee",
    }


def own_range():
    base = b"d4:infod6:lengthi5ee"
    values = {
        "start-5": (b"11:_info_start", b"i5e"),
        "start-negative": (b"11:_info_start", b"i-3e"),
        "start-past-end": (b"11:_info_start", b"i100000e"),
        "start-low32": (b"11:_info_start", b"i4294967298e"),
        "start-string": (b"11:_info_start", b"3:abc"),
        "start-list": (b"11:_info_start", b"li1ee"),
        "start-dict": (b"11:_info_start", b"d1:ai1ee"),
        "length-0": (b"12:_info_length", b"i0e"),
        "length-negative": (b"12:_info_length", b"i-1e"),
        "length-past-end": (b"12:_info_length", b"i70000e"),
        "length-low32-negative": (b"12:_info_length", b"i4294967295e"),
        "length-min-int": (b"12:_info_length", b"i2147483648e"),
        "length-low32-small": (b"12:_info_length", b"i4294967306e"),
        "length-string": (b"12:_info_length", b"0:"),
        "length-list": (b"12:_info_length", b"le"),
    }
    seeds = {}
    for name, (key, value) in values.items():
        seeds["own-%s.bin" % name] = base + key + value + b"e"
        seeds["own-%s-before-info.bin" % name] = b"d" + key + value + base[1:] + b"e"
    seeds["own-both.bin"] = base + b"11:_info_starti1e12:_info_lengthi6ee"
    seeds["own-both-no-info.bin"] = b"d11:_info_starti0e12:_info_lengthi3ee"
    return seeds


def crowded_keys():
    # Keys that end in the same two bytes share a bucket, so one bucket
    # grows long enough to need its index; a few repeats replace values.
    body = b"".join(b"4:%02dzzi%de" % (n, n) for n in range(100))
    body += b"".join(b"5:%03dzzi%de" % (n, n) for n in range(100, 300))
    body += b"4:07zzi7e4:42zzle"
    return {
        "crowded-info.bin": b"d4:infod" + body + b"ee",
        "crowded-root.bin": b"d" + body + b"4:infoi1ee",
        "odd-bytes-keys.bin": b"d4:infod1:\x00i0e2:\xff\xfei1e1:Ai2e1:ai3eee",
    }


def structure_heavy():
    # Values of a few bytes each, many of them: where a scan that steps over
    # structure could lose its place. Also the entries a magnet link is made
    # from, stored twice, cut, or of the wrong kind.
    files = b"".join(
        b"d6:lengthi%de4:pathl1:%d4:f%03dee" % (n * 7, n % 10, n) for n in range(60))
    magnet = (b"d8:announce3:u:18:url-listl2:w12:w2e13:announce-listll2:t1el2:t22:t3ee"
              b"4:infod9:file treed1:ad0:d6:lengthi1eeee5:filesle6:lengthi0e12:meta versioni2e"
              b"4:name1:n10:name.utf-82:nu6:pieces0:ee")
    return {
        "many-files.bin": b"d4:infod5:filesl" + files + b"e4:name1:x6:pieces0:ee",
        "nested-closed.bin": b"d4:info" + (b"l" * 50 + b"e" * 50) * 30 + b"e",
        "nested-dicts-closed.bin": b"d4:info" + (b"d1:a" * 40 + b"i0e" + b"e" * 40) * 10 + b"e",
        "junk-in-list.bin": b"d4:infol" + bytes(range(0x80, 0x100)) * 4 + b"\x00" * 500 + b"ee",
        "empty-strings.bin": b"d4:infol" + b"0:" * 1500 + b"ee",
        "empty-dicts.bin": b"d4:infol" + b"de" * 1000 + b"ee",
        "one-key-dicts.bin": b"d4:infol" + b"d1:ai0ee" * 400 + b"ee",
        "magnet-facts.bin": magnet,
        "magnet-facts-twice.bin": magnet[:-1] + b"8:announce2:u24:infod4:name1:mee",
        "magnet-info-not-dict.bin": magnet[:-1] + b"4:infoi7ee",
        "magnet-info-no-value.bin": magnet[:-1] + b"4:infoxe",
        "magnet-keys-no-value.bin": b"d8:announcex4:infod4:namex6:lengthee",
        "magnet-long-keys.bin": b"d4:infod12:name.utf-8x1:a5:names2:nnee",
    }


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_corpus.py DIRECTORY")
    target = sys.argv[1]
    os.makedirs(target, exist_ok=True)
    seeds = {}
    for group in (well_formed, decoder_edges, truncated, deep_nesting, forged_lengths,
                  own_range, crowded_keys, structure_heavy):
        seeds.update(group())
    for name, data in seeds.items():
        assert len(data) <= 4096, name
        with open(os.path.join(target, name), "wb") as f:
            f.write(data)
    print("%d seeds in %s" % (len(seeds), target))


if __name__ == "__main__":
    main()
