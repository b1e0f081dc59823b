#!/usr/bin/env python3
"""Writes the sample metainfo files of this folder.

  single.torrent  one shared file (a made-up 100 kB recording)
  multi.torrent   a folder of three files, one of them in a subfolder
  broken.torrent  an HTML error page saved under a .torrent name

The shared content is generated here and never written; only its SHA-1 piece
hashes go into the files, as real torrent makers do. The output is the same on
every run, so the committed files can be checked against this script.

Usage: make-samples.py [output folder]   (default: the folder of this script)
"""

import hashlib
import os
import sys

PIECE_LENGTH = 16384
CREATED = 1767225600  # 2026-01-01 00:00:00 UTC, fixed so that runs agree


def bencode(value):
    if isinstance(value, int):
        return b"i%de" % value
    if isinstance(value, str):
        value = value.encode()
    if isinstance(value, bytes):
        return b"%d:%s" % (len(value), value)
    if isinstance(value, list):
        return b"l" + b"".join(bencode(v) for v in value) + b"e"
    items = sorted((k.encode(), v) for k, v in value.items())
    return b"d" + b"".join(bencode(k) + bencode(v) for k, v in items) + b"e"


def content(seed, size):
    """Deterministic bytes standing in for a file's content."""
    out, block = bytearray(), seed.encode()
    while len(out) < size:
        block = hashlib.sha1(block).digest()
        out += block
    return bytes(out[:size])


def pieces(data):
    return b"".join(hashlib.sha1(data[i:i + PIECE_LENGTH]).digest()
                    for i in range(0, len(data), PIECE_LENGTH))


def metainfo(info, comment):
    return bencode({"announce": "http://tracker.invalid:6969/announce", "comment": comment,
                    "created by": "kelvane make-samples", "creation date": CREATED,
                    "info": info})


def build():
    """{file name: (bytes, the info hash kelvane prints or its error text)}."""
    recording = content("recording", 100_000)
    single = {"length": len(recording), "name": "field recording.wav",
              "piece length": PIECE_LENGTH, "pieces": pieces(recording)}

    files = [(["readme.txt"], content("readme", 1_234)),
             (["photos", "harbour.jpg"], content("harbour", 45_000)),
             (["map.png"], content("map", 20_000))]
    multi = {"files": [{"length": len(data), "path": path} for path, data in files],
             "name": "trip", "piece length": PIECE_LENGTH,
             "pieces": pieces(b"".join(data for _, data in files))}

    def info_hash(info):
        return hashlib.sha1(bencode(info)).hexdigest().upper()

    page = (b"<!DOCTYPE html>\r\n<html><head><title>404 Not Found</title></head>\r\n"
            b"<body><h1>Not Found</h1></body></html>\r\n")
    return {
        "single.torrent": (metainfo(single, "one file"), info_hash(single)),
        "multi.torrent": (metainfo(multi, "a folder of three files"), info_hash(multi)),
        "broken.torrent": (page, "Error in file "),
    }


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, (data, expected) in build().items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print(f"{expected}  {name}")


if __name__ == "__main__":
    main()
