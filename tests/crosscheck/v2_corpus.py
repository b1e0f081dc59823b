"""v2-only and hybrid (v1 + v2) metainfo files made with libtorrent's own create_torrent.

make_corpus(folder) writes each entry of ENTRIES twice, as a v2-only and as a hybrid torrent,
byte for byte the same on every run (contents from a seeded generator, a fixed creation date,
files added in file-tree order). Every file loads in libtorrent 2.0. The entries cover several
piece sizes, single and multi-file torrents, empty files, pad files (the hybrids), nested folders,
private torrents, none to four announce tiers with one to three trackers each, web seeds and http
seeds, and names with spaces, UTF-8, every reserved ASCII character and over 240 bytes.
"""

import hashlib
import os
import random
import tempfile

import libtorrent as lt

CREATION_DATE = 1700000000
KiB = 1024
RESERVED = "a&b+c=d%e#f?g;h,i@j$k!l~m*n'o(p)q[r]s{t}u^v`w|x<y>z\""

# Each entry: id, files [(path, size)] whose first component is the torrent's name (for one file,
# the path is its name), and optionally piece size (16 KiB), trackers (a list of tiers), web seeds,
# http seeds, private, comment, creator.
ENTRIES = [
    dict(id="single_small", files=[("a.bin", 1000)]),
    dict(id="single_exact_piece", files=[("exact.bin", 16 * KiB)],
         trackers=[["http://tracker.example/announce"]]),
    dict(id="single_multi_piece", piece=32 * KiB, files=[("movie.mkv", 200000)],
         trackers=[["udp://tracker.example:6969/announce"]],
         web_seeds=["http://seed.example/files/", "http://seed.example/movie.mkv"]),
    # libtorrent counts a pad file after a v2 file ending inside a piece: the web seed gets a "/".
    dict(id="single_1m_nonaligned", piece=1024 * KiB, files=[("tiny.txt", 5)],
         web_seeds=["http://ws.example/tiny.txt"]),
    dict(id="multi_nested", piece=32 * KiB,
         files=[("tree/x/y/z/deep.dat", 70000), ("tree/x/one.dat", 1), ("tree/top.dat", 40000),
                ("tree/x/y/two.dat", 32 * KiB), ("tree/b.txt", 20000), ("tree/c.txt", 16 * KiB)]),
    dict(id="multi_pads_and_empty_files", piece=64 * KiB,
         files=[("pads/%02d.bin" % i, 1000 * i + 1) for i in range(8)]
         + [("pads/empty1", 0), ("pads/sub/empty2", 0)]),
    # A v2-only torrent of one file in a folder is named after the file, a hybrid after the folder.
    dict(id="dir_one_file", files=[("onedir/only.txt", 3)]),
    dict(id="tiers", files=[("tiers/f", 5000), ("tiers/g", 6000)],
         trackers=[["http://t1.example/ann"], ["udp://t2.example:80"],
                   ["http://a1.example/", "http://a2.example/", "http://a3.example/"],
                   ["https://t3.example/a?key=1&x=%41", "http://b2.example/"]]),
    dict(id="private", piece=32 * KiB, files=[("priv/a", 50000), ("priv/b", 1)], private=True,
         trackers=[["http://private.example/announce?passkey=abc123"],
                   ["http://p2.example/a", "http://p3.example/a"]]),
    dict(id="web_and_http_seeds", files=[("ws/a b.txt", 100), ("ws/c.txt", 100)],
         web_seeds=["http://seed.example/path with space/", "http://seed.example/p%20q",
                    "http://seed.example/caf\u00e9", "http://seed.example/noslash"],
         http_seeds=["http://hs.example/seed"], trackers=[["http://t.example/ann"]]),
    dict(id="name_utf8", files=[("\u65e5\u672c\u8a9e \u00e9t\u00e9/\u00fcber.txt", 100),
                                ("\u65e5\u672c\u8a9e \u00e9t\u00e9/\U0001F600.txt", 200)]),
    dict(id="name_reserved", files=[(RESERVED + "/inner&file.txt", 50), (RESERVED + "/second", 60)],
         trackers=[["http://t.example/a?x=1&y=2"]]),
    dict(id="name_single", files=[("\u00c5ngstr\u00f6m \u2013 100% & more + less = [ok].txt", 70)],
         trackers=[["http://t.example/"]], web_seeds=["http://ws.example/100% & more.txt"]),
    dict(id="name_dots", files=[("...dots .../f.txt", 9), ("...dots .../.hidden", 9)]),
    # Cut to 240 bytes and the extension in the link's name.
    dict(id="name_over_240_bytes", files=[("M" * 246 + ".txt", 11)]),
    dict(id="name_over_240_bytes_utf8", files=[("\u00e9" * 125 + "/" + n, 11) for n in "fg"]),
    dict(id="multi_256k", piece=256 * KiB, files=[("q256/a", 300000), ("q256/b", 262144)],
         trackers=[["http://t.example/x"]], web_seeds=["http://w.example/q256"]),
    dict(id="everything", files=[("All In/one.txt", 17000), ("All In/two/three.txt", 0),
                                 ("All In/two/four.txt", 33000)],
         trackers=[["http://e1.example/a", "udp://e2.example:1337"], ["wss://e3.example/"]],
         web_seeds=["http://w.example/All In/"], http_seeds=["http://h.example/"], private=True,
         comment="a comment", creator="v2_corpus"),
]


def _make_one(entry, flags, source, target):
    files = lt.file_storage()
    # The v2 file tree's order, so that v1 and v2 lists agree.
    for path, size in sorted(entry["files"], key=lambda f: [c.encode() for c in f[0].split("/")]):
        os.makedirs(os.path.dirname(os.path.join(source, path)), exist_ok=True)
        seed = hashlib.sha256(f"{entry['id']}|{path}".encode()).digest()
        with open(os.path.join(source, path), "wb") as f:
            f.write(random.Random(seed).randbytes(size))
        files.add_file(path, size)
    maker = lt.create_torrent(files, entry.get("piece", 16 * KiB), flags=flags)
    for tier, urls in enumerate(entry.get("trackers", [])):
        for url in urls:
            maker.add_tracker(url, tier)
    for url in entry.get("web_seeds", []):
        maker.add_url_seed(url)
    for url in entry.get("http_seeds", []):
        maker.add_http_seed(url)
    maker.set_priv(entry.get("private", False))
    maker.set_comment(entry.get("comment", ""))
    maker.set_creator(entry.get("creator", ""))
    lt.set_piece_hashes(maker, source)
    metainfo = maker.generate()
    metainfo[b"creation date"] = CREATION_DATE
    with open(target, "wb") as f:
        f.write(lt.bencode(metainfo))


def make_corpus(folder):
    """Writes two .torrent files per entry of ENTRIES into folder (made if needed)."""
    os.makedirs(folder, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="kelvane-v2-corpus-") as source:
        for entry in ENTRIES:
            for kind, flags in [("v2", lt.create_torrent.v2_only), ("hybrid", 0)]:
                _make_one(entry, flags, os.path.join(source, kind, entry["id"]),
                          os.path.join(folder, f"{kind} {entry['id']}.torrent"))
