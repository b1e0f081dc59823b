"""Random metainfo files written byte by byte, for comparing magnet links with libtorrent's.

crafted(rng) gives the bytes of one file: v1, v2-only or hybrid, single or multi-file, with names,
trackers and web seeds built from awkward pieces (separators, dots, percent signs, control bytes,
malformed UTF-8, bidirectional marks, names over 240 bytes, white space, odd ports and brackets).
Some are files libtorrent refuses to load; those take no part in a comparison.
"""

from bencode_tools import bencode

ATOMS = [b"a", b"b", b"Z", b"0", b" ", b".", b"..", b"/", b"\\", b"%", b"+", b"&", b"=", b"?",
         b"#", b":", b"@", b"~", b"!", b"*", b"'", b"(", b"-", b"_", b"\x00", b"\x01", b"\x1f",
         b"\x7f", b"\xff", b"\xc3", b"\xc3\xa9", b"\xe6\x97\xa5", b"\xf0\x9f\x98\x80",
         b"\xed\xa0\x80", b"\xc0\xaf", b"\xe2\x80\xae", b"\xe2\x80\x8e", b"\xf8\x88\x80\x80\x80",
         b"\x80", b"\xe0\x80", b"\xef\xbf\xbf", b"\t", b"\n", b"[", b"]", b"{", b'"', b"<", b".txt",
         b".tar.gz"]
URLS = [b"http://t.example/ann", b"udp://t:80", b"https://h/a b", b"http://h/p%20q",
        b"http://h/\xc3\xa9", b"http://u:p@h:0080/x y", b"http://[::1]:8/a b", b"http://h?q r",
        b" http://h/x y", b"  ", b"", b"http://h/", b"http://h/a#b", b"http://h:abc/ z",
        b"ftp://h/x", b"http://h/~!*()", b"HTTP://H/X"]


def _text(rng, most=8):
    if rng.random() < 0.08:  # over the 240-byte limit, with or without an extension to keep
        return (rng.choice([b"x", b"\xc3\xa9", b"\xe6\x97\xa5", b"\xff", b"\x01", b"\xe2\x80\xae"])
                * rng.randint(100, 300)
                + rng.choice([b"", b".txt", b".mkv", b".a\x01c", b".abcdefghij", b"/"]))
    return b"".join(rng.choice(ATOMS) for _ in range(rng.randint(0, most)))


def _url(rng):
    url = rng.choice(URLS)
    return url + _text(rng, 3) if rng.random() < 0.5 else url


def _file(rng):
    return {b"": {b"length": 1, b"pieces root": bytes(rng.randrange(1, 256) for _ in range(32))}}


def crafted(rng):
    kind = rng.choice(["v1 single", "v1 multi", "v2 single", "v2 multi", "hybrid single",
                       "hybrid multi"])
    name = b"" if rng.random() < 0.02 else _text(rng)
    info = {b"name": name, b"piece length": 16384}
    if kind.endswith("single") and not kind.startswith("v2"):
        info[b"length"] = 1
    if kind.endswith("multi") and not kind.startswith("v2"):
        info[b"files"] = [{b"length": 1, b"path": [b"x"]}]
    if not kind.startswith("v2"):
        info[b"pieces"] = bytes(20)
    if not kind.startswith("v1"):
        info[b"meta version"] = 2
        if kind.endswith("single"):
            # A hybrid's single file bears the torrent's name; a v2-only one may bear another.
            key = name if kind.startswith("hybrid") or rng.random() < 0.5 else _text(rng)
            info[b"file tree"] = {key: _file(rng)}
        else:
            info[b"file tree"] = {b"x": _file(rng)}
            if kind == "v2 multi":
                info[b"file tree"][b"y"] = _file(rng)
    if rng.random() < 0.1:
        info[b"name.utf-8"] = _text(rng)
    root = {b"info": info}
    if rng.random() < 0.5:
        root[b"announce"] = _url(rng)
    if rng.random() < 0.5:
        root[b"announce-list"] = [[_url(rng) for _ in range(rng.randint(0, 3))]
                                  if rng.random() < 0.9 else _url(rng)
                                  for _ in range(rng.randint(0, 4))]
    if rng.random() < 0.5:
        root[b"url-list"] = (_url(rng) if rng.random() < 0.3
                             else [_url(rng) for _ in range(rng.randint(0, 4))])
    if rng.random() < 0.1:
        root[b"httpseeds"] = [_url(rng)]
    return bencode(root, sort=rng.random() < 0.9)
