#!/usr/bin/python3
"""Checks kelvane's info hashes against independent torrent software.

Metainfo files are made from throw-away content with mktorrent,
transmission-create and libtorrent's Python binding; kelvane reads all of them
in one run through a mask, and every digest it prints must equal the info hash
that transmission-show and libtorrent report. Hand-built files that are not
canonical bencode (keys out of order, integers with leading zeros, bytes after
the root) are checked against the SHA-1 of the exact byte range of their
`info` value, which this script knows because it wrote the bytes itself.

A tool that is not installed is skipped with a message; the rest still runs.

Usage: crosscheck.py <path to kelvane> [--keep]
"""

import hashlib
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

try:
    import libtorrent as lt
except ImportError:  # the interpreter has no binding; its checks are skipped
    lt = None

LINE = re.compile(rb"^([0-9A-F]{40})  (.+)$")


class Tally:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAIL: {what}")


class Sample:
    """One metainfo file and what the oracles are expected to say about it."""

    def __init__(self, name, maker, *, v1=True, v2=False, exact=None):
        self.name = name          # file name inside the output folder
        self.maker = maker        # which tool wrote it, for messages
        self.v1 = v1              # carries v1 metadata ("pieces")
        self.v2 = v2              # carries v2 metadata ("file tree")
        self.exact = exact        # SHA-1 of the info byte range, when known here


def run(cmd, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)


def make_content(root):
    """A single file and a folder tree with files of awkward sizes."""
    rnd = random.Random(1729)
    single = os.path.join(root, "single.bin")
    with open(single, "wb") as f:
        f.write(rnd.randbytes(300_001))
    multi = os.path.join(root, "album")
    os.makedirs(os.path.join(multi, "disc 2", "extras"))
    sizes = {
        "01 intro.flac": 70_000,
        "02 song.flac": 131_072,
        "cover.jpg": 5,
        os.path.join("disc 2", "03 long.flac"): 250_000,
        os.path.join("disc 2", "extras", "notes.txt"): 1,
    }
    for rel, size in sizes.items():
        with open(os.path.join(multi, rel), "wb") as f:
            f.write(rnd.randbytes(size))
    return single, multi


def make_with_mktorrent(src, out, samples):
    tool = shutil.which("mktorrent")
    if not tool:
        print("SKIPPED: mktorrent not found")
        return
    single, multi = src
    variants = [
        ("mk single.torrent", single, ["-l", "15"]),
        ("mk multi.torrent", multi, ["-l", "16", "-c", "made by mktorrent"]),
        ("mk private.torrent", multi, ["-p", "-l", "18", "-s", "tracker-source"]),
        ("mk webseed.torrent", single,
         ["-w", "http://seed.invalid/single.bin,http://mirror.invalid/single.bin", "-l", "17"]),
        ("mk multi webseed nodate.torrent", multi,
         ["-d", "-w", "http://seed.invalid/album/", "-a", "http://b.invalid/a", "-l", "20"]),
    ]
    for name, target, extra in variants:
        path = os.path.join(out, name)
        r = run([tool, "-a", "http://tracker.invalid/announce", *extra, "-o", path, target])
        if r.returncode != 0:
            sys.exit(f"mktorrent failed for {name}: {r.stderr.decode(errors='replace')}")
        samples.append(Sample(name, "mktorrent"))


def make_with_transmission(src, out, samples):
    tool = shutil.which("transmission-create")
    if not tool:
        print("SKIPPED: transmission-create not found")
        return
    single, multi = src
    # This tool has no web-seed option; those come from the other two makers.
    variants = [
        ("tr single.torrent", single, ["-s", "16"]),
        ("tr multi.torrent", multi, ["-s", "32", "-c", "made by transmission"]),
        ("tr private.torrent", multi, ["-p", "-s", "64"]),
        ("tr default pieces.torrent", single, []),
    ]
    for name, target, extra in variants:
        path = os.path.join(out, name)
        r = run([tool, "-t", "http://tracker.invalid/announce", *extra, "-o", path, target])
        if r.returncode != 0 or not os.path.exists(path):
            sys.exit(f"transmission-create failed for {name}: {r.stderr.decode(errors='replace')}")
        samples.append(Sample(name, "transmission-create"))


def make_with_libtorrent(src, out, samples):
    if lt is None:
        print("SKIPPED: libtorrent not importable by this python3 (made and checked nothing "
              "with it; /usr/bin/python3 has it)")
        return
    single, multi = src
    kinds = {"hybrid": 0, "v1": lt.create_torrent.v1_only, "v2": lt.create_torrent.v2_only}
    variants = [
        # name, content, kind, piece size, private, web seeds
        ("lt hybrid single.torrent", single, "hybrid", 16384, False, []),
        ("lt hybrid multi.torrent", multi, "hybrid", 32768, False, []),
        ("lt hybrid private webseed.torrent", multi, "hybrid", 65536, True,
         ["http://seed.invalid/"]),
        ("lt v1 single.torrent", single, "v1", 16384, False, ["http://seed.invalid/single.bin"]),
        ("lt v1 multi private.torrent", multi, "v1", 262144, True, []),
        ("lt v1 multi big pieces.torrent", multi, "v1", 1 << 20, False,
         ["http://a.invalid/", "http://b.invalid/"]),
        ("lt v2 multi.torrent", multi, "v2", 16384, False, []),
    ]
    for name, target, kind, piece, private, seeds in variants:
        fs = lt.file_storage()
        lt.add_files(fs, target)
        ct = lt.create_torrent(fs, piece, kinds[kind])
        ct.add_tracker("http://tracker.invalid/announce")
        ct.set_priv(private)
        for url in seeds:
            ct.add_url_seed(url)
        lt.set_piece_hashes(ct, os.path.dirname(target))
        with open(os.path.join(out, name), "wb") as f:
            f.write(lt.bencode(ct.generate()))
        samples.append(Sample(name, "libtorrent", v1=kind != "v2", v2=kind != "v1"))


def bstr(b):
    return str(len(b)).encode() + b":" + b


def make_noncanonical(out, samples):
    """Files whose info bytes a re-encoding tool would not reproduce."""
    pieces = hashlib.sha1(b"piece one").digest() + hashlib.sha1(b"piece two").digest()
    # Keys of info in reverse order.
    unsorted_info = (b"d" + bstr(b"pieces") + bstr(pieces) + bstr(b"piece length") + b"i32768e"
                     + bstr(b"name") + bstr(b"reversed.bin") + bstr(b"length") + b"i40000ee")
    # Integers and a string length with leading zeros, and a negative zero.
    zeros_info = (b"d" + bstr(b"length") + b"i0040000e" + bstr(b"name") + b"009:zeros.bin"
                  + bstr(b"piece length") + b"i032768e" + bstr(b"pieces") + bstr(pieces)
                  + bstr(b"private") + b"i-0ee")
    canonical_info = (b"d" + bstr(b"length") + b"i40000e" + bstr(b"name") + bstr(b"tail.bin")
                      + bstr(b"piece length") + b"i32768e" + bstr(b"pieces") + bstr(pieces) + b"e")
    announce = bstr(b"announce") + bstr(b"http://tracker.invalid/announce")
    nested = bstr(b"a nested") + b"d" + bstr(b"info") + b"d4:name5:decoyee"
    cases = [
        ("nc unsorted info.torrent", announce, unsorted_info, b"", b""),
        ("nc leading zeros.torrent", announce, zeros_info, b"", b""),
        ("nc trailing bytes.torrent", announce, canonical_info, b"",
         b"\r\ntrailing junk \x00\xff d4:infod4:name1:xee"),
        # Root keys out of order too: info first, a key after it, and an
        # `info` key inside a nested dictionary before the top-level one.
        ("nc info first.torrent", b"", unsorted_info,
         bstr(b"comment") + bstr(b"after info") + announce, b""),
        ("nc nested decoy.torrent", nested, zeros_info, announce, b"\n"),
    ]
    for name, before, info, after, trailer in cases:
        head = b"d" + before + bstr(b"info")
        data = head + info + after + b"e" + trailer
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        start = len(head)
        assert data[start:start + len(info)] == info
        samples.append(Sample(name, "by hand", exact=hashlib.sha1(info).hexdigest()))
    # A name that is not ASCII: the program passes name bytes through.
    shutil.copy(os.path.join(out, cases[0][0]), os.path.join(out, "nc caf\u00e9 \u00fcn\u00efcode.torrent"))
    samples.append(Sample("nc caf\u00e9 \u00fcn\u00efcode.torrent", "by hand", exact=samples[-len(cases)].exact))


def run_kelvane(kelvane, mask, hash_only, tally):
    args = [kelvane] + (["-hash"] if hash_only else []) + [mask]
    r = run(args)
    label = "kelvane -hash" if hash_only else "kelvane"
    tally.check(r.returncode == 0, f"{label} exit code {r.returncode}, expected 0")
    tally.check(r.stderr == b"", f"{label} wrote to standard error: {r.stderr[:200]!r}")
    tally.check(r.stdout.endswith(b"\r\n") and b"\n" not in r.stdout.replace(b"\r\n", b""),
                f"{label}: every line must end with CR LF")
    return r.stdout.split(b"\r\n")[:-1]


def transmission_hash(tool, path):
    r = run([tool, path])
    m = re.search(rb"^\s*Hash: ([0-9a-fA-F]{40})\s*$", r.stdout, re.M)
    return m.group(1).decode() if r.returncode == 0 and m else None


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    kelvane = os.path.abspath(sys.argv[1])
    keep = "--keep" in sys.argv[2:]
    if not os.access(kelvane, os.X_OK):
        sys.exit(f"not an executable: {kelvane}")

    tmp = tempfile.mkdtemp(prefix="kelvane-crosscheck-")
    try:
        src_dir, out = os.path.join(tmp, "content"), os.path.join(tmp, "torrents")
        os.makedirs(src_dir)
        os.makedirs(out)
        src = make_content(src_dir)
        samples = []
        make_with_mktorrent(src, out, samples)
        make_with_transmission(src, out, samples)
        make_with_libtorrent(src, out, samples)
        make_noncanonical(out, samples)
        # Not a metainfo file: the mask must not pick it up.
        with open(os.path.join(out, "readme.txt"), "wb") as f:
            f.write(b"d4:infoi1ee")

        tally = Tally()
        lines = run_kelvane(kelvane, os.path.join(out, "*.torrent"), False, tally)
        digests = {}
        for line in lines:
            m = LINE.match(line)
            tally.check(m is not None, f"malformed line {line!r}")
            if m:
                name = m.group(2).decode("utf-8", "surrogateescape")
                tally.check(name not in digests, f"{name} reported twice")
                digests[name] = m.group(1).decode()
        tally.check(len(lines) == len(samples),
                    f"{len(lines)} lines for {len(samples)} metainfo files")

        # The same files with -hash: the same digests, alone, in the same order.
        bare = run_kelvane(kelvane, os.path.join(out, "*.torrent"), True, tally)
        tally.check(bare == [l[:40] for l in lines], "-hash lines differ from the digests")

        show = shutil.which("transmission-show")
        if not show:
            print("SKIPPED: transmission-show not found")
        for s in samples:
            path = os.path.join(out, s.name)
            got = digests.get(s.name)
            tally.check(got is not None, f"{s.name}: no line from kelvane")
            if got is None:
                continue
            oracles = {}
            if s.exact:
                oracles["SHA-1 of the info byte range"] = s.exact
            if show:
                th = transmission_hash(show, path)
                if th is not None:
                    oracles["transmission-show"] = th
                elif s.v2:
                    print(f"note: transmission-show cannot read v2 metadata, skipped for {s.name}")
                elif not s.exact:
                    tally.check(False, f"{s.name}: transmission-show could not read it")
            if lt is not None:
                try:
                    ti = lt.torrent_info(path)
                except RuntimeError as e:
                    ti = None
                    if s.exact is None:
                        tally.check(False, f"{s.name}: libtorrent could not read it: {e}")
                    else:
                        print(f"note: libtorrent refuses {s.name}: {e}")
                if ti is not None and ti.info_hashes().has_v1():
                    oracles["libtorrent v1"] = str(ti.info_hashes().v1)
                elif ti is not None and not s.exact:
                    # v2 only: libtorrent writes canonical bencode, so its own
                    # re-encoding of `info` is the exact byte range.
                    with open(path, "rb") as f:
                        info = lt.bencode(lt.bdecode(f.read())[b"info"])
                    oracles["SHA-1 of libtorrent's info bytes"] = hashlib.sha1(info).hexdigest()
            if not oracles:
                print(f"SKIPPED: no oracle available for {s.name}")
            for oracle, want in oracles.items():
                if s.exact and oracle != "SHA-1 of the info byte range":
                    # Tools may re-encode `info`; say so, but only the exact
                    # byte range decides for these files.
                    if want.upper() != s.exact.upper():
                        print(f"note: {oracle} re-encodes {s.name}: {want} (raw bytes: {s.exact})")
                    continue
                tally.check(got.upper() == want.upper(),
                            f"{s.name} ({s.maker}): kelvane {got}, {oracle} {want}")

        print(f"checked {len(samples)} metainfo files")
        print(f"crosscheck: {tally.passed} passed, {tally.failed} failed")
        return 1 if tally.failed else 0
    finally:
        if keep:
            print(f"files kept in {tmp}")
        else:
            shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
