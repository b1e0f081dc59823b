"""v2-only and hybrid (v1 + v2) metainfo files made with libtorrent's own create_torrent.

make_corpus(folder) writes one file per entry of ENTRIES, byte for byte the same on every run
(contents from a seeded generator, a fixed creation date, files added in file-tree order). Every
file loads in libtorrent 2.0. The entries cover several piece sizes, single and multi-file
torrents, empty files, pad files (the hybrids), nested folders, private torrents, none to three
announce tiers with one to three trackers each, web seeds and http seeds, and names with spaces,
UTF-8, every reserved ASCII character and over 240 bytes.
"""

import hashlib
import os
import random
import shutil
import tempfile

import libtorrent as lt

CREATION_DATE = 1700000000
KiB = 1024
RESERVED = "a&b+c=d%e#f?g;h,i@j$k!l~m*n'o(p)q[r]s{t}u^v`w|x<y>z\""

# Each entry: id, kind ("v2" or "hybrid"), piece size, files [(path, size)] whose first component
# is the torrent's name (for one file, the path is its name), and optionally trackers (a list of
# tiers), web seeds, http seeds, private, comment, creator.
ENTRIES = [
    dict(id="v2_single_small", kind="v2", piece=16 * KiB, files=[("a.bin", 1000)]),
    dict(id="v2_single_exact_piece", kind="v2", piece=16 * KiB, files=[("exact.bin", 16 * KiB)]),
    dict(id="v2_single_multi_piece", kind="v2", piece=16 * KiB, files=[("big.bin", 100000)],
         trackers=[["http://tracker.example/announce"]]),
    dict(id="hyb_single_small", kind="hybrid", piece=16 * KiB, files=[("a.bin", 1000)]),
    dict(id="hyb_single_multi_piece_32k", kind="hybrid", piece=32 * KiB,
         files=[("movie.mkv", 200000)], trackers=[["udp://tracker.example:6969/announce"]],
         web_seeds=["http://seed.example/movie.mkv"]),
    dict(id="v2_single_64k_ws_dir", kind="v2", piece=64 * KiB, files=[("data.iso", 150000)],
         web_seeds=["http://seed.example/files/", "http://seed.example/data.iso"]),
    dict(id="hyb_single_1m", kind="hybrid", piece=1024 * KiB, files=[("tiny.txt", 5)]),
    dict(id="v2_multi_flat", kind="v2", piece=16 * KiB,
         files=[("flat/a.txt", 10), ("flat/b.txt", 20000), ("flat/c.txt", 16 * KiB)]),
    dict(id="hyb_multi_flat", kind="hybrid", piece=16 * KiB,
         files=[("flat/a.txt", 10), ("flat/b.txt", 20000), ("flat/c.txt", 16 * KiB)]),
    dict(id="v2_multi_nested", kind="v2", piece=32 * KiB,
         files=[("tree/x/y/z/deep.dat", 70000), ("tree/x/one.dat", 1), ("tree/top.dat", 40000),
                ("tree/x/y/two.dat", 32 * KiB)]),
    dict(id="hyb_multi_nested", kind="hybrid", piece=32 * KiB,
         files=[("tree/x/y/z/deep.dat", 70000), ("tree/x/one.dat", 1), ("tree/top.dat", 40000),
                ("tree/x/y/two.dat", 32 * KiB)]),
    dict(id="v2_multi_empty_files", kind="v2", piece=16 * KiB,
         files=[("withempty/empty1", 0), ("withempty/data", 3000), ("withempty/sub/empty2", 0)]),
    dict(id="hyb_multi_empty_files", kind="hybrid", piece=16 * KiB,
         files=[("withempty/empty1", 0), ("withempty/data", 3000), ("withempty/sub/empty2", 0)]),
    # A v2-only torrent of one file in a folder is named after the file, a hybrid after the folder.
    dict(id="v2_dir_one_file", kind="v2", piece=16 * KiB, files=[("onedir/only.txt", 3)]),
    dict(id="hyb_dir_one_file", kind="hybrid", piece=16 * KiB, files=[("onedir/only.txt", 3)]),
    dict(id="hyb_pads_many", kind="hybrid", piece=64 * KiB,
         files=[("pads/%02d.bin" % i, 1000 * i + 1) for i in range(8)]),
    dict(id="v2_tiers_one_each", kind="v2", piece=16 * KiB,
         files=[("tiers1/f", 5000), ("tiers1/g", 6000)],
         trackers=[["http://t1.example/ann"], ["udp://t2.example:80"],
                   ["https://t3.example/a?key=1&x=%41"]]),
    dict(id="hyb_tiers_shuffled", kind="hybrid", piece=16 * KiB, files=[("tiers2.bin", 30000)],
         trackers=[["http://a1.example/", "http://a2.example/", "http://a3.example/"],
                   ["http://b1.example/", "http://b2.example/"], ["http://c1.example/"]]),
    dict(id="v2_private", kind="v2", piece=16 * KiB, files=[("secret.bin", 4000)], private=True,
         trackers=[["http://private.example/announce?passkey=abc123"]]),
    dict(id="hyb_private_multi", kind="hybrid", piece=32 * KiB,
         files=[("priv/a", 50000), ("priv/b", 1)], private=True,
         trackers=[["http://p1.example/a"], ["http://p2.example/a", "http://p3.example/a"]]),
    dict(id="v2_ws_spaces", kind="v2", piece=16 * KiB,
         files=[("ws/a b.txt", 100), ("ws/c.txt", 100)],
         web_seeds=["http://seed.example/path with space/", "http://seed.example/p%20q",
                    "http://seed.example/caf\u00e9", "http://seed.example/noslash"]),
    dict(id="hyb_ws_httpseed", kind="hybrid", piece=16 * KiB, files=[("hs.bin", 20000)],
         web_seeds=["http://ws.example/hs.bin"], http_seeds=["http://hs.example/seed"],
         trackers=[["http://t.example/ann"]]),
    # libtorrent counts a pad file after a v2 file ending inside a piece: the web seed gets a "/".
    dict(id="v2_ws_single_nonaligned", kind="v2", piece=16 * KiB, files=[("na.bin", 5)],
         web_seeds=["http://ws.example/na.bin"]),
    dict(id="v2_name_spaces", kind="v2", piece=16 * KiB,
         files=[("My Files/read me.txt", 10), ("My Files/x y/z.txt", 20)]),
    dict(id="hyb_name_utf8", kind="hybrid", piece=16 * KiB,
         files=[("\u65e5\u672c\u8a9e \u00e9t\u00e9/\u00fcber.txt", 100),
                ("\u65e5\u672c\u8a9e \u00e9t\u00e9/\U0001F600.txt", 200)]),
    dict(id="v2_name_utf8_single", kind="v2", piece=16 * KiB,
         files=[("\u00c5ngstr\u00f6m \u2013 caf\u00e9.txt", 300)]),
    dict(id="hyb_name_reserved", kind="hybrid", piece=16 * KiB,
         files=[(RESERVED + "/inner&file.txt", 50), (RESERVED + "/second", 60)],
         trackers=[["http://t.example/a?x=1&y=2"]]),
    dict(id="v2_name_reserved_single", kind="v2", piece=16 * KiB,
         files=[("100% & more + less = [ok].txt", 70)], trackers=[["http://t.example/"]],
         web_seeds=["http://ws.example/100% & more.txt"]),
    dict(id="hyb_name_dots", kind="hybrid", piece=16 * KiB,
         files=[("...dots .../f.txt", 9), ("...dots .../.hidden", 9)]),
    dict(id="v2_long_name", kind="v2", piece=16 * KiB, files=[("L" * 200 + ".txt", 11)]),
    # Cut to 240 bytes and the extension in the link's name.
    dict(id="v2_name_over_240_bytes", kind="v2", piece=16 * KiB, files=[("M" * 246 + ".txt", 11)]),
    dict(id="hyb_name_over_240_bytes_utf8", kind="hybrid", piece=16 * KiB,
         files=[("\u00e9" * 125 + "/f", 11), ("\u00e9" * 125 + "/g", 11)]),
    dict(id="v2_256k_multi", kind="v2", piece=256 * KiB,
         files=[("q256/a", 300000), ("q256/b", 262144)]),
    dict(id="hyb_4m_multi", kind="hybrid", piece=4096 * KiB, files=[("q4m/a", 3), ("q4m/b", 4)],
         trackers=[["http://t.example/x"]], web_seeds=["http://w.example/q4m"]),
    dict(id="hyb_everything", kind="hybrid", piece=16 * KiB,
         files=[("All In/one.txt", 17000), ("All In/two/three.txt", 0),
                ("All In/two/four.txt", 33000)],
         trackers=[["http://e1.example/a", "udp://e2.example:1337"], ["wss://e3.example/"]],
         web_seeds=["http://w.example/All In/"], http_seeds=["http://h.example/"], private=True,
         comment="a comment", creator="v2_corpus"),
    dict(id="v2_everything", kind="v2", piece=32 * KiB,
         files=[("All v2/one.txt", 17000), ("All v2/two/three.txt", 0),
                ("All v2/two/four.txt", 33000)],
         trackers=[["http://e1.example/a", "udp://e2.example:1337"], ["wss://e3.example/"]],
         web_seeds=["http://w.example/All v2/"], comment="c", creator="v2_corpus"),
]


def _content(entry_id, path, size):
    return random.Random(hashlib.sha256(f"{entry_id}|{path}".encode()).digest()).randbytes(size)


def _make_one(entry, source_root, folder):
    source = os.path.join(source_root, entry["id"])
    files = lt.file_storage()
    # The v2 file tree's order, so that v1 and v2 lists agree.
    for path, size in sorted(entry["files"], key=lambda f: [c.encode() for c in f[0].split("/")]):
        full = os.path.join(source, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(_content(entry["id"], path, size))
        files.add_file(path, size)
    flags = lt.create_torrent.v2_only if entry["kind"] == "v2" else 0
    maker = lt.create_torrent(files, entry["piece"], flags=flags)
    for tier, urls in enumerate(entry.get("trackers", [])):
        for url in urls:
            maker.add_tracker(url, tier)
    for url in entry.get("web_seeds", []):
        maker.add_url_seed(url)
    for url in entry.get("http_seeds", []):
        maker.add_http_seed(url)
    maker.set_priv(entry.get("private", False))
    if entry.get("comment"):
        maker.set_comment(entry["comment"])
    if entry.get("creator"):
        maker.set_creator(entry["creator"])
    lt.set_piece_hashes(maker, source)
    metainfo = maker.generate()
    metainfo[b"creation date"] = CREATION_DATE
    with open(os.path.join(folder, entry["id"] + ".torrent"), "wb") as f:
        f.write(lt.bencode(metainfo))


def make_corpus(folder):
    """Writes one .torrent file per entry of ENTRIES into folder (made if needed)."""
    os.makedirs(folder, exist_ok=True)
    source_root = tempfile.mkdtemp(prefix="kelvane-v2-corpus-")
    try:
        for entry in ENTRIES:
            _make_one(entry, source_root, folder)
    finally:
        shutil.rmtree(source_root, ignore_errors=True)
