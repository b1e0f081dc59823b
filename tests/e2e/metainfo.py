"""Builds metainfo files byte by byte, so the tests know where `info` lies.

The digest a test expects is always the SHA-1 of the exact bytes it placed
after the key `info`, never of a decoded and re-encoded value.
"""

import hashlib

EMPTY_DIGEST = hashlib.sha1(b"").hexdigest().upper().encode()


def bencode(value):
    """Canonical bencode of ints, bytes/str, lists and dicts (keys sorted)."""
    if isinstance(value, int):
        return b"i%de" % value
    if isinstance(value, str):
        value = value.encode()
    if isinstance(value, bytes):
        return b"%d:%s" % (len(value), value)
    if isinstance(value, list):
        return b"l" + b"".join(bencode(v) for v in value) + b"e"
    if isinstance(value, dict):
        items = sorted((k.encode() if isinstance(k, str) else k, v) for k, v in value.items())
        return b"d" + b"".join(bencode(k) + bencode(v) for k, v in items) + b"e"
    raise TypeError(f"cannot bencode {type(value).__name__}")


def digest(data):
    """The info hash as the program prints it: 40 upper-case hex digits."""
    return hashlib.sha1(data).hexdigest().upper().encode()


def content(seed, size):
    """Deterministic filler bytes standing in for a shared file."""
    out = bytearray()
    block = seed if isinstance(seed, bytes) else seed.encode()
    while len(out) < size:
        block = hashlib.sha1(block).digest()
        out += block
    return bytes(out[:size])


def _pieces(data, piece_length):
    return b"".join(hashlib.sha1(data[i:i + piece_length]).digest()
                    for i in range(0, len(data), piece_length))


def single_file_info(name, data, piece_length=16384):
    return bencode({"length": len(data), "name": name, "piece length": piece_length,
                    "pieces": _pieces(data, piece_length)})


def multi_file_info(name, files, piece_length=16384):
    """files: list of (path components, data); pieces run across file ends."""
    joined = b"".join(data for _, data in files)
    return bencode({"files": [{"length": len(data), "path": list(path)} for path, data in files],
                    "name": name, "piece length": piece_length,
                    "pieces": _pieces(joined, piece_length)})


def metainfo(info, before=None, after=None, trailer=b""):
    """A root dictionary holding `info` verbatim between other keys.

    `before` keys must sort before "info" and `after` keys after it, as in a
    canonical file; `trailer` is junk written behind the root's end.
    Returns (file bytes, expected digest).
    """
    inner = lambda d: bencode(d or {})[1:-1]
    data = b"d" + inner(before) + b"4:info" + info + inner(after) + b"e" + trailer
    return data, digest(info)
