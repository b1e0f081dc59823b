#!/usr/bin/env python3
"""Writes the sample metainfo files of this folder.

  single.torrent  one shared file (a made-up 100 kB recording)
  multi.torrent   a folder of three files, one of them in a subfolder
  broken.torrent  an HTML error page saved under a .torrent name

The shared content is generated here and never written; only its SHA-1 piece
hashes go into the files, as real torrent makers do. The output is the same on
every run, so the committed files can be checked against this script.

Usage: make_samples.py [output folder]   (default: the folder of this script)
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from bencode_tools import bencode, content, digest, pieces  # noqa: E402

PIECE_LENGTH = 16384
CREATED = 1767225600  # 2026-01-01 00:00:00 UTC, fixed so that runs agree


def metainfo(info, comment):
    return bencode({"announce": "http://tracker.invalid:6969/announce", "comment": comment,
                    "created by": "kelvane make-samples", "creation date": CREATED,
                    "info": info})


def build():
    """{file name: (bytes, the info hash kelvane prints or its error text)}."""
    recording = content("recording", 100_000)
    single = {"length": len(recording), "name": "field recording.wav",
              "piece length": PIECE_LENGTH, "pieces": pieces(recording, PIECE_LENGTH)}

    files = [(["readme.txt"], content("readme", 1_234)),
             (["photos", "harbour.jpg"], content("harbour", 45_000)),
             (["map.png"], content("map", 20_000))]
    multi = {"files": [{"length": len(data), "path": path} for path, data in files],
             "name": "trip", "piece length": PIECE_LENGTH,
             "pieces": pieces(b"".join(data for _, data in files), PIECE_LENGTH)}

    page = (b"<!DOCTYPE html>\r\n<html><head><title>404 Not Found</title></head>\r\n"
            b"<body><h1>Not Found</h1></body></html>\r\n")
    return {
        "single.torrent": (metainfo(single, "one file"), digest(bencode(single))),
        "multi.torrent": (metainfo(multi, "a folder of three files"), digest(bencode(multi))),
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
