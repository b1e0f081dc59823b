#!/usr/bin/env python3
"""End-to-end tests of kelvane, run as a user runs it: run_e2e.py PROGRAM [--emulator COMMAND...]

A copy of the program lies beside most test files, since a bare target names the program's
folder; runs start in another folder. Exit code, stderr and stdout are compared byte for byte,
stdout as a set of lines where a folder's files come in the file system's order.
"""

import filecmp
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from bencode_tools import bencode, content, digest, pieces  # noqa: E402

NOT_EXISTS, IN_FILE = b"Error - File not Exists: ", b"Error in file "
USAGE = (b"Usage:\n\r\n%s -hash File1 File2 FileN \r\n"
         b"Use [-hash] key to display only hash-sums\r\n\r\n")
DIAGNOSTIC = re.compile(rb"Exception EInOutError in module ([^\r\n]+) at [0-9A-Fa-fx]+\.\r\n"
                        rb"[^\r\n]*\.\r\n\r\n")
SOURCE = os.path.abspath(sys.argv[1])
EMULATOR = sys.argv[sys.argv.index("--emulator") + 1:] if "--emulator" in sys.argv else []
WINDOWS = bool(EMULATOR)
NAME = b"kelvane.exe" if WINDOWS else b"kelvane"
ROOT = tempfile.mkdtemp(prefix="kelvane-e2e-")
PROG, WORK = os.path.join(ROOT, "prog"), os.path.join(ROOT, "work")
FIELDS = {}  # file of the program's folder -> its line's first part, None for no line
FULL = os.open("/dev/full", os.O_WRONLY)  # a character device: the first write fails
tally = [0, 0]


def equal(what, want, got):
    tally[want != got] += 1
    if want != got:
        print(f"FAIL: {what}\n  expected: {want!r}\n  got:      {got!r}")


def put(folder, name, data, field):
    """Writes a file and returns its line, which starts with field (a digest or an error)."""
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
    if folder == PROG:
        FIELDS[os.fsencode(name)] = field
    return field + b"  " + os.fsencode(name)


def wrap(info, before={}, after={}, trailer=b""):
    """A root dictionary holding `info` verbatim between other keys: (bytes, digest)."""
    return (b"d" + bencode(before)[1:-1] + b"4:info" + info + bencode(after)[1:-1] + b"e"
            + trailer, digest(info).encode())


def native(path):
    """An absolute path as the program under test takes it."""
    return "Z:" + path.replace("/", "\\") if WINDOWS else path


def torrent(seed):
    return wrap(bencode({"name": seed}), before={"announce": "http://tracker.invalid/a"})


def lines(names, hash_only=False):
    return [FIELDS[n] + (b"" if hash_only else b"  " + n)
            for n in map(os.fsencode, names) if FIELDS[n] is not None]


def run(args, stdout=None, program=None):
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run(EMULATOR + [program or os.path.join(PROG, os.fsdecode(NAME))] + args,
                              cwd=WORK, stdin=subprocess.DEVNULL, stdout=stdout or out,
                              stderr=err, timeout=120).returncode
        out.seek(0)
        err.seek(0)
        return code, out.read(), err.read()


def expect(args, want, as_set=False):
    """A normal run: exit code 0, nothing on stderr, these bytes or lines (CR LF ended)."""
    code, out, err = run(args)
    want = want if isinstance(want, bytes) else b"".join(line + b"\r\n" for line in want)
    order = (lambda b: b"".join(sorted(b.splitlines(True)))) if as_set else (lambda b: b)
    equal(f"exit code, stderr and output of {args}", (0, b"", order(want)), (code, err, order(out)))


def fatal(args, stdout, program=None, name=NAME):
    """A run whose writes fail: exit code 1 and the diagnostic naming the program's file."""
    code, _, err = run(args, stdout, program)
    match = DIAGNOSTIC.fullmatch(err)
    equal(f"exit code and diagnostic of {args} on broken output: {err!r}", (1, name),
          (code, match and match.group(1)))


def make_files():
    os.makedirs(os.path.join(PROG, "sub"))
    shutil.copy2(SOURCE, os.path.join(PROG, os.fsdecode(NAME)))
    FIELDS[NAME] = IN_FILE
    song = content("song", 70000)
    single = bencode({"length": len(song), "name": "song.flac", "piece length": 32768,
                      "pieces": pieces(song, 32768)})
    # Bytes outside the info value count for nothing; inside, the raw bytes count, in any order.
    put(PROG, "single.torrent", *wrap(single, {"announce": "http://t.invalid/", "creation date": 1},
                                      {"url-list": ["http://seed.invalid/"]}, b"junk\r\n"))
    put(PROG, "reordered.torrent", *wrap(b"d6:lengthi5e4:name1:x12:piece lengthi16e6:pieces20:"
                                         + bytes(20) + b"e"))
    put(PROG, "blank.torrent", b"", b"Error - Blank file!")
    put(PROG, "nested.torrent", b"d3:food4:infod1:ai1eeee", b"Error parsing file!")
    put(PROG, "readme.txt", b"hello, this is text\r\n", IN_FILE)
    for name in ["x.torrent", "-H", "-hash"]:
        put(PROG, name, *torrent(os.path.join(PROG, name)))
    if not WINDOWS:  # Wine does not list a dangling link
        # Listed but no file: a plain name is passed over; a name with "?" is looked up by
        # its short name, which this entry lacks, and so the folder is opened as the file.
        for name, field in [("gone.torrent", None), ("gone?.torrent", NOT_EXISTS)]:
            os.symlink("nowhere", os.path.join(PROG, name))
            FIELDS[os.fsencode(name)] = field


def check_version():
    """--version first, in any letter case, gives the project's version whatever follows."""
    with open(os.path.join(HERE, "..", "..", "CMakeLists.txt")) as f:
        version = re.search(r"project\(kelvane VERSION ([0-9.]+)", f.read()).group(1)
    for args in [["--version"], ["--VERSION", "x.torrent", "-hash"]]:
        expect(args, [b"kelvane " + version.encode()])


def main():
    make_files()
    forms = [os.fsdecode(n) for n in FIELDS if n not in (NAME, b"x.torrent", b"-H", b"-hash")]
    failing = [n for n in forms if len(FIELDS[os.fsencode(n)] or b"") != 40]
    prog_x, work_x = lines(["x.torrent"])[0], put(WORK, "x.torrent", *torrent(WORK))
    check_version()

    renamed = os.path.join(ROOT, "Hash Tool.EXE" if WINDOWS else "Hash Tool")
    shutil.copy2(SOURCE, renamed)
    for program, name in [(renamed, os.fsencode(os.path.basename(renamed))), (None, NAME)]:
        code, out, err = run([], program=program)
        head = USAGE % name
        equal(f"usage screen of {name}, its fifth line one line of text", (0, b"", head, True),
              (code, err, out[:len(head)], bool(re.fullmatch(rb"[^\r\n]+\r\n", out[len(head):]))))
        fatal([], FULL, program, name)
    # Each help token shows the usage screen whatever follows it.
    for token in ["?", "/?", "-?", "-h", "--help", "help", "-help", "HELP", "-Help", "--HELP"]:
        expect([token, "x.torrent", "-hash"], out)

    expect(["-H", "/h", "x.torrent"], lines(["-H", "x.torrent"]))  # near misses are targets
    expect(["-hash"], b"")
    expect(["-HaSh"] + forms, lines(forms, True))
    expect(forms + ["missing.torrent", "sub"], lines(forms))
    expect(failing, lines(failing))
    expect(["-hash", "-hash", "-h"], lines(["-hash", "-H"], True))
    expect(["x.torrent", "-hash", ".\\x.torrent", "./x.torrent", native(PROG + "/x.torrent"),
            "X.TORRENT"],
           [prog_x, lines(["-hash"])[0], work_x, work_x, prog_x, prog_x])
    expect([""], lines(FIELDS), as_set=True)
    expect(["-hash", ""], lines(FIELDS, True), as_set=True)
    spaced = os.path.join(WORK, "my dir")
    mine, other = put(spaced, "my file.torrent", *torrent("a")), put(spaced, "b c", *torrent("b"))
    expect(["my dir\\my file.torrent", "my dir/*"], [mine, mine, other], as_set=True)

    # The committed samples are what their script makes, and read right.
    samples = os.path.normpath(os.path.join(HERE, "..", "..", "samples"))
    made = subprocess.run([sys.executable, os.path.join(samples, "make_samples.py"), ROOT],
                          stdout=subprocess.PIPE, check=True).stdout
    names = [name for name in os.listdir(samples) if name.endswith(".torrent")]
    equal("samples against their script", (names, [], []),
          filecmp.cmpfiles(ROOT, samples, names, shallow=False))
    expect([native(samples + "/*.torrent")], made.splitlines(), as_set=True)

    fatal(forms, FULL)  # amid report lines
    equal("nothing to write to a full device", (0, b"", b""), run(["-hash"], FULL))
    # A pipe whose reader has gone: a short output fails as the program ends, a long one
    # when its buffer first fills.
    for args in [["x.torrent"], forms * 3]:
        read_end, write_end = os.pipe()
        os.close(read_end)
        fatal(args, write_end)
        os.close(write_end)


if __name__ == "__main__":
    try:
        main()
    finally:
        shutil.rmtree(ROOT, ignore_errors=True)
    print(f"e2e: {tally[0]} passed, {tally[1]} failed")
    sys.exit(1 if tally[1] else 0)
