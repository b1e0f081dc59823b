#!/usr/bin/python3
"""Checks kelvane's info hashes against other torrent software: crosscheck.py <path to kelvane>

kelvane reads files made by mktorrent, transmission-create and libtorrent in one run; each digest
must equal the info hash that transmission-show and libtorrent report. Hand-made files that are not
canonical bencode are checked against the SHA-1 of their `info` value's exact bytes.

Then -v2 and -magnet against libtorrent, on those files, on v2-only and hybrid files libtorrent
makes, and on random files crafted byte by byte: each -v2 line must be libtorrent's v2 info hash
(or the no-v2 line where it has none) and each -magnet line its make_magnet_uri. libtorrent shuffles
the trackers of one announce tier as it loads a file, where kelvane keeps the file's order: links
are compared byte for byte where each tier has one tracker, else up to the order within each tier.
"""

import hashlib
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from bencode_tools import bencode, content  # noqa: E402

try:
    import libtorrent as lt
except ImportError:  # this interpreter has no binding; its files and checks are skipped
    lt = None

TRACKER = "http://tracker.invalid/announce"
SHOW = shutil.which("transmission-show")
NO_V2 = b"Error - No v2 info hash!"
CRAFTED = 400  # random files compared with libtorrent's links, each run the same ones
tally = [0, 0]
compared = {"-v2": 0, "-magnet": 0, "plain run (libtorrent v1)": 0}  # files, by option


def check(ok, what):
    tally[not ok] += 1
    if not ok:
        print(f"FAIL: {what}")


def make_content(root):
    """A single file and a folder tree with files of awkward sizes."""
    for rel, size in [("single.bin", 300_001), ("album/01 intro.flac", 70_000),
                      ("album/02 song.flac", 131_072), ("album/cover.jpg", 5),
                      ("album/disc 2/03 long.flac", 250_000), ("album/disc 2/x/notes.txt", 1)]:
        os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
        Path(root, rel).write_bytes(content(rel, size))
    return os.path.join(root, "single.bin"), os.path.join(root, "album")


def make_with_tools(single, multi, out):
    """Files from the command-line makers (piece sizes: mktorrent 2^n, transmission KiB)."""
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


def make_with_libtorrent(single, multi, out):
    if lt is None:
        print("SKIPPED: libtorrent not importable by this python3 (/usr/bin/python3 has it)")
        return
    for name, source, kind, piece, private, seeds in [  # kind 0: hybrid v1 + v2
            ("hybrid single", single, 0, 16384, False, []),
            ("hybrid multi private", multi, 0, 65536, True, ["http://seed.invalid/"]),
            ("v1 multi private", multi, lt.create_torrent.v1_only, 262144, True, [])]:
        files = lt.file_storage()
        lt.add_files(files, source)
        maker = lt.create_torrent(files, piece, kind)
        maker.add_tracker(TRACKER)
        maker.set_priv(private)
        for url in seeds:
            maker.add_url_seed(url)
        lt.set_piece_hashes(maker, os.path.dirname(source))
        Path(out, f"libtorrent {name}.torrent").write_bytes(lt.bencode(maker.generate()))


def make_noncanonical(out):
    """Files whose info bytes a re-encoding tool would not reproduce: {name: SHA-1 of them}."""
    pieces = hashlib.sha1(b"one").digest() + hashlib.sha1(b"two").digest()
    unsorted = (b"d6:pieces40:" + pieces + b"12:piece lengthi32768e4:name12:reversed.bin"
                b"6:lengthi40000ee")
    zeros = (b"d6:lengthi0040000e4:name009:zeros.bin12:piece lengthi032768e6:pieces40:" + pieces
             + b"7:privatei-0ee")
    canonical = bencode({"name": "tail.bin", "pieces": pieces})
    announce = bencode("announce") + bencode(TRACKER)
    cases = {  # name: (root keys before `info`, info, root keys after it, bytes after the root)
        # A name's bytes go to the line unchanged, UTF-8 or not.
        "hand unsorted caf\u00e9.torrent": (announce, unsorted, b"", b""),
        # Root keys out of order, and an `info` key in a nested dictionary before the real one.
        "hand leading zeros.torrent": (b"8:a nestedd4:infod4:name5:decoyee", zeros,
                                       bencode("comment") + bencode("x") + announce, b""),
        "hand trailing bytes.torrent": (announce, canonical, b"", b"\r\njunk \x00\xff d4:infoe"),
    }
    for name, (before, info, after, trailer) in cases.items():
        Path(out, name).write_bytes(b"d" + before + b"4:info" + info + after + b"e" + trailer)
    return {name: hashlib.sha1(case[1]).hexdigest() for name, case in cases.items()}


def kelvane_lines(args):
    r = subprocess.run([os.path.abspath(sys.argv[1]), *args], capture_output=True)
    lf = r.stdout.endswith(b"\n") and b"\r" not in r.stdout
    check((r.returncode, r.stderr, lf) == (0, b"", True),
          f"{args}: exit code {r.returncode}, stderr {r.stderr!r}, lines ended by LF: {lf}")
    return r.stdout.split(b"\n")[:-1]


def oracles(path):
    """The info hashes that the tools there report for a tool-made file."""
    # transmission-show 3 reads no v2 metadata, hybrid files included
    m = SHOW and re.search(rb"^\s*Hash: ([0-9a-fA-F]{40})\s*$",
                           subprocess.run([SHOW, path], capture_output=True).stdout, re.M)
    found = {"transmission-show": m and m.group(1).decode(),
             "libtorrent v1": lt and str(lt.torrent_info(path).info_hashes().v1)}
    return {oracle: digest for oracle, digest in found.items() if digest}


def fields(args, folder):
    """{file name: field} of one kelvane run over the .torrent files of folder."""
    lines = kelvane_lines([*args, os.path.join(folder, "*.torrent")])
    found = {}
    for line in lines:
        field, _, name = line.partition(b"  ")
        found[name.decode(errors="surrogateescape")] = field
    check(len(found) == len(lines), f"{args}: {len(lines)} lines for {len(found)} files")
    return found


def tracker_tiers(root):
    """The tier of each tracker of libtorrent's link, in the file's order."""
    tiers = [tier for tier, urls in enumerate(root.get(b"announce-list", []))
             if isinstance(urls, list)
             for url in urls if isinstance(url, bytes) and url.lstrip(b" \t\n\r\v\f")]
    announce = root.get(b"announce")
    if not tiers and isinstance(announce, bytes) and announce.lstrip(b" \t\n\r\v\f"):
        tiers = [0]
    return tiers


def same_link(ours, theirs, tiers):
    """Byte for byte where no tier has two trackers, else up to the order within each tier."""
    def within_tiers_sorted(link):
        parts = link.split("&")
        at = [i for i, part in enumerate(parts) if part.startswith("tr=")]
        if len(at) != len(tiers):
            return None
        for i, (_, part) in zip(at, sorted(zip(tiers, [parts[i] for i in at]))):
            parts[i] = part
        return parts
    if len(set(tiers)) == len(tiers):
        return ours == theirs
    canonical = within_tiers_sorted(ours)
    return canonical is not None and canonical == within_tiers_sorted(theirs)


def compare_with_libtorrent(folder, what):
    """The plain run, -v2 and -magnet over folder against libtorrent, on every file it loads;
    every other file still gets a magnet link."""
    v1, v2 = fields([], folder), fields(["-v2"], folder)
    # A link is the whole line; the runs list the folder in the same order, one line a file.
    links = kelvane_lines(["-magnet", os.path.join(folder, "*.torrent")])
    check(len(links) == len(v1), f"{what}: {len(links)} links for {len(v1)} files")
    magnet = dict(zip(v1, links))
    check(kelvane_lines(["-HASH", "-Magnet", os.path.join(folder, "*.torrent")]) == links,
          f"{what}: -magnet -hash lines are not the links alone")
    refused = 0
    for name in sorted(magnet):
        path = os.path.join(folder, name)
        try:
            loaded = lt.torrent_info(path)
        except RuntimeError:
            refused += 1
            check(magnet[name].startswith(b"magnet:?xt=urn:bt"), f"{name}: {magnet[name]!r}")
            continue
        hashes = loaded.info_hashes()
        if hashes.has_v1():
            check(v1[name] == str(hashes.v1).upper().encode(), f"{name}: plain {v1[name]!r}")
            compared["plain run (libtorrent v1)"] += 1
        want = str(hashes.v2).upper().encode() if hashes.has_v2() else NO_V2
        check(v2[name] == want, f"{name}: -v2 {v2[name]!r}, libtorrent {want!r}")
        with open(path, "rb") as f:
            tiers = tracker_tiers(lt.bdecode(f.read()))
        link = lt.make_magnet_uri(loaded)
        check(same_link(magnet[name].decode(), link, tiers),
              f"{name}: -magnet\n  {magnet[name]!r}\n  libtorrent {link!r}")
        compared["-v2"] += 1
        compared["-magnet"] += 1
    print(f"{what}: {len(magnet)} files, {refused} of them refused by libtorrent")


def check_v2_and_magnet(out):
    if lt is None:
        print("SKIPPED: -v2 and -magnet (libtorrent not importable by this python3)")
        return
    from crafted_torrents import crafted
    from v2_corpus import make_corpus
    compare_with_libtorrent(out, "the files above")
    make_corpus(os.path.join(out, "v2"))
    compare_with_libtorrent(os.path.join(out, "v2"), "v2-only and hybrid files")
    rng = random.Random(13)
    os.makedirs(os.path.join(out, "crafted"))
    for i in range(CRAFTED):
        Path(out, "crafted", "c%04d.torrent" % i).write_bytes(crafted(rng))
    compare_with_libtorrent(os.path.join(out, "crafted"), "crafted files")
    print("files compared with libtorrent: " + ", ".join(f"{n} {o}" for o, n in compared.items()))


def main():
    with tempfile.TemporaryDirectory(prefix="kelvane-crosscheck-") as out:
        single, multi = make_content(os.path.join(out, "content"))
        make_with_tools(single, multi, out)
        make_with_libtorrent(single, multi, out)
        exact = dict.fromkeys(name for name in os.listdir(out) if name.endswith(".torrent"))
        exact.update(make_noncanonical(out))
        if not SHOW:
            print("SKIPPED: transmission-show not found, no file checked with it")
        mask = os.path.join(out, "*.torrent")
        lines = kelvane_lines([mask])
        digests = {m[2].decode(errors="surrogateescape"): m[1].decode()
                   for m in map(re.compile(rb"([0-9A-F]{40})  (.+)").fullmatch, lines) if m}
        check(len(lines) == len(digests) == len(exact),
              f"{len(lines)} lines, {len(digests)} well-formed and distinct, {len(exact)} files")
        check(kelvane_lines(["-hash", mask]) == [line[:40] for line in lines],
              "-hash lines are not the same digests alone in the same order")
        for name, raw in exact.items():
            found = {"SHA-1 of the info bytes": raw} if raw else oracles(os.path.join(out, name))
            if not found:
                print(f"SKIPPED: no tool here reads {name}")
            for oracle, want in found.items():
                got = digests.get(name, "no line")
                check(got.upper() == want.upper(), f"{name}: kelvane {got}, {oracle} {want}")
        check_v2_and_magnet(out)
    print(f"crosscheck: {tally[0]} passed, {tally[1]} failed")
    return 1 if tally[1] else 0


if __name__ == "__main__":
    sys.exit(main())
