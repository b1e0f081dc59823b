#!/usr/bin/python3
"""Checks kelvane's lines against other torrent software: crosscheck.py <path to kelvane>

Files made by mktorrent and transmission-create get the info hash transmission-show reports; those,
v2-only and hybrid files libtorrent makes and random crafted files get libtorrent's v1 and v2 info
hashes and magnet link (up to the order of the trackers in a tier, which libtorrent shuffles).
"""

import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from bencode_tools import bencode, content  # noqa: E402

try:
    import libtorrent as lt
except ImportError:  # this interpreter has no binding; its files and checks are skipped
    lt = None

TRACKER = "http://tracker.invalid/announce"
SHOW = shutil.which("transmission-show")
CRAFTED = 400  # random files compared with libtorrent's links, each run the same ones
tally = [0, 0]


def check(ok, what):
    tally[not ok] += 1
    if not ok:
        print(f"FAIL: {what}")


def make_with_tools(out):
    """Files the command-line makers make of a single file and of a tree of awkward sizes."""
    for rel, size in [("single.bin", 300_001), ("album/01 intro.flac", 70_000),
                      ("album/cover.jpg", 5), ("album/disc 2/x/notes.txt", 1)]:
        os.makedirs(os.path.dirname(os.path.join(out, "content", rel)), exist_ok=True)
        Path(out, "content", rel).write_bytes(content(rel, size))
    single, multi = (os.path.join(out, "content", name) for name in ["single.bin", "album"])
    for tool, tracker, variants in [
        ("mktorrent", "-a", [
            ("single", single, ["-l", "15"]),
            ("multi", multi, ["-l", "16", "-c", "made by mktorrent"]),
            ("private", multi, ["-p", "-l", "18", "-s", "tracker-source"]),
            ("webseeds", single, ["-d", "-l", "20", "-w", "http://a.invalid/,http://b.invalid/"])]),
        ("transmission-create", "-t", [
            ("single", single, ["-s", "16"]),
            ("multi", multi, ["-s", "32", "-c", "made by transmission"]),
            ("private", multi, ["-p", "-s", "64"])])]:
        if not shutil.which(tool):
            print(f"SKIPPED: {tool} not found, no files made with it")
            continue
        for name, source, extra in variants:
            subprocess.run([tool, tracker, TRACKER, *extra, "-o",
                            os.path.join(out, f"{tool} {name}.torrent"), source],
                           stdout=subprocess.DEVNULL, check=True)


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
    """The bytes of one random v1, v2-only or hybrid file of awkward names, trackers and web seeds,
    which libtorrent may refuse to load."""
    kind = rng.choice(["v1", "v2", "hybrid"]) + rng.choice([" single", " multi"])
    name = b"" if rng.random() < 0.02 else _text(rng)
    info = {b"name": name, b"piece length": 16384}
    if not kind.startswith("v2"):
        info[b"pieces"] = bytes(20)
        if kind.endswith("single"):
            info[b"length"] = 1
        else:
            info[b"files"] = [{b"length": 1, b"path": [b"x"]}]
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


def kelvane_lines(args):
    r = subprocess.run([os.path.abspath(sys.argv[1]), *args], capture_output=True)
    lf = r.stdout.endswith(b"\n") and b"\r" not in r.stdout
    # Natively an error line makes the exit status 1.
    status = 1 if any(line.startswith(b"Error") for line in r.stdout.split(b"\n")) else 0
    check((r.returncode, r.stderr, lf) == (status, b"", True),
          f"{args}: exit code {r.returncode}, stderr {r.stderr!r}, lines ended by LF: {lf}")
    return r.stdout.split(b"\n")[:-1]


def fields(args, mask):
    """{file name: field} of one kelvane run over the files mask matches."""
    lines = kelvane_lines([*args, mask])
    found = {}
    for line in lines:
        field, _, name = line.partition(b"  ")
        found[os.path.basename(name.decode(errors="surrogateescape"))] = field
    check(len(found) == len(lines), f"{args}: {len(lines)} lines for {len(found)} files")
    return found


def same_link(ours, theirs, path):
    """Byte for byte up to the order of the trackers within each tier of the file's
    announce-list (where it gives libtorrent two trackers or more)."""
    with open(path, "rb") as f:
        tiers = lt.bdecode(f.read()).get(b"announce-list", [])
    tiers = [tier for tier, urls in enumerate(tiers) if isinstance(urls, list)
             for url in urls if isinstance(url, bytes) and url.lstrip(b" \t\n\r\v\f")]

    def canonical(link):
        parts = link.split("&")
        trackers = [part for part in parts if part.startswith("tr=")]
        if len(trackers) != len(tiers):
            return parts
        ordered = iter(part for _, part in sorted(zip(tiers, trackers)))
        return [next(ordered) if part.startswith("tr=") else part for part in parts]
    return canonical(ours) == canonical(theirs)


def compare(folder, what, show=False):
    """Each run over the .torrent files of folder against the other software; with show, plain
    lines against transmission-show too."""
    mask = os.path.join(folder, "*.torrent")
    plain, v2 = fields([], mask), fields(["-v2"], mask)
    # A link is the whole line; the runs list the folder in the same order, one line a file.
    links = kelvane_lines(["-magnet", mask])
    check(len(links) == len(plain), f"{what}: {len(links)} links for {len(plain)} files")
    magnet, refused, compared = dict(zip(plain, links)), 0, 0
    for name in sorted(n for n in os.listdir(folder) if n.endswith(".torrent")):
        path = os.path.join(folder, name)
        if show:  # transmission-show 3 reads no v2 metadata
            m = re.search(rb"^\s*Hash: ([0-9a-fA-F]{40})\s*$",
                          subprocess.run([SHOW, path], capture_output=True).stdout, re.M)
            check(m and plain.get(name) == m.group(1).upper(),
                  f"{name}: plain {plain.get(name)!r}, transmission-show {m and m.group(1)!r}")
        try:
            loaded = lt and lt.torrent_info(path)
        except RuntimeError:  # still a link, from the same rules
            refused += 1
            check(magnet.get(name, b"").startswith(b"magnet:?xt=urn:bt"), f"{name}: no link")
            continue
        if not loaded:
            continue
        hashes = loaded.info_hashes()
        if hashes.has_v1():
            want = str(hashes.v1).upper().encode()
            check(plain.get(name) == want,
                  f"{name}: plain {plain.get(name)!r}, libtorrent {want!r}")
        want = str(hashes.v2).upper().encode() if hashes.has_v2() else b"Error - No v2 info hash!"
        check(v2.get(name) == want, f"{name}: -v2 {v2.get(name)!r}, libtorrent {want!r}")
        link = lt.make_magnet_uri(loaded)
        check(same_link(magnet.get(name, b"").decode(), link, path),
              f"{name}: -magnet\n  {magnet.get(name)!r}\n  libtorrent {link!r}")
        compared += 1
    print(f"{what}: {len(plain)} files, {compared} compared with libtorrent, {refused} refused")


def main():
    with tempfile.TemporaryDirectory(prefix="kelvane-crosscheck-") as out:
        make_with_tools(out)
        if not SHOW:
            print("SKIPPED: transmission-show not found, no file checked with it")
        compare(out, "files made by tools", show=bool(SHOW))
        if lt is None:
            print("SKIPPED: libtorrent not importable by this python3 (/usr/bin/python3 has it)")
        else:
            from v2_corpus import make_corpus
            make_corpus(os.path.join(out, "v2"))
            compare(os.path.join(out, "v2"), "v2-only and hybrid files")
            rng = random.Random(13)
            os.makedirs(os.path.join(out, "crafted"))
            for i in range(CRAFTED):
                Path(out, "crafted", "c%04d.torrent" % i).write_bytes(crafted(rng))
            compare(os.path.join(out, "crafted"), "crafted files")
    print(f"crosscheck: {tally[0]} passed, {tally[1]} failed")
    return 1 if tally[1] else 0


if __name__ == "__main__":
    sys.exit(main())
