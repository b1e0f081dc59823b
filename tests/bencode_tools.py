"""Bencode and metainfo pieces for the scripts that write test, sample and seed files."""

import hashlib


def bencode(value, sort=True):
    """Bencode of ints, bytes/str, lists and dicts, canonical (keys sorted) unless sort is false,
    when keys keep the dictionary's order; TypeError for any other type."""
    if isinstance(value, int):
        return b"i%de" % value
    if isinstance(value, str):
        value = value.encode()
    if isinstance(value, bytes):
        return b"%d:%s" % (len(value), value)
    if isinstance(value, list):
        return b"l" + b"".join(bencode(v, sort) for v in value) + b"e"
    if isinstance(value, dict):
        items = [(k.encode() if isinstance(k, str) else k, v) for k, v in value.items()]
        return (b"d" + b"".join(bencode(k) + bencode(v, sort)
                                for k, v in (sorted(items) if sort else items)) + b"e")
    raise TypeError(f"cannot bencode {type(value).__name__}")


def digest(data):
    """The info hash as kelvane prints it: 40 upper-case hex digits (str)."""
    return hashlib.sha1(data).hexdigest().upper()


def content(seed, size):
    """Deterministic filler bytes standing in for a shared file; seed is str or bytes."""
    out, block = bytearray(), seed if isinstance(seed, bytes) else seed.encode()
    while len(out) < size:
        block = hashlib.sha1(block).digest()
        out += block
    return bytes(out[:size])


def pieces(data, piece_length):
    """The SHA-1 digests of data's pieces, joined, as the `pieces` value holds them."""
    return b"".join(hashlib.sha1(data[i:i + piece_length]).digest()
                    for i in range(0, len(data), piece_length))
