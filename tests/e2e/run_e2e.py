#!/usr/bin/env python3
"""End-to-end tests of kelvane, run as a user runs it.

    run_e2e.py PROGRAM [--emulator COMMAND...] [-k NAME]... [--list]

With --emulator the Windows build runs under that command; -k picks cases by name. A copy of the
program lies in PROG beside most test files; runs start in WORK on Windows, where a bare target
means the program's folder, and in PROG natively: either way a bare target means PROG.
"""

import argparse
import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from bencode_tools import bencode, content, digest, pieces  # noqa: E402

NOT_FOUND, IN_FILE = b"No such file or directory", b"Error in file "
BLANK, PARSING = b"Error - Blank file!", b"Error parsing file!"
CASES = {}  # name -> (function, runs for the Windows build, runs for the native build)
# Set by setup() when the run starts.
SOURCE, EMULATOR, WINDOWS, EOL, NAME = "", [], False, b"", b""
ROOT = PROG = WORK = START = ""
FULL = None  # /dev/full: the first write fails
FIELDS = {}  # file of PROG -> its line's first part
tally = [0, 0]


def case(windows=True, native=True):
    def register(function):
        CASES[function.__name__] = (function, windows, native)
        return function
    return register


def equal(what, want, got):
    tally[want != got] += 1
    if want != got:
        print(f"FAIL: {what}\n  expected: {want!r}\n  got:      {got!r}")


def shown(name):
    """A name as the program's line shows it: control bytes become "?"."""
    return re.sub(rb"[\x01-\x1f\x7f]", b"?", name)


def given(target):
    """What a line shows before a name: natively the target's directory part, on Windows nothing."""
    target = os.fsencode(target)
    return b"" if WINDOWS else target[:target.rfind(b"/") + 1]


def put(folder, name, data, field, target=b""):
    """Writes a file and returns its line, starting with field, as the target selects it."""
    folder, name = os.fsencode(folder), os.fsencode(name)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
    if folder == os.fsencode(PROG):
        FIELDS[name] = field
    return field + b"  " + shown(given(target) + name)


def wrap(info, before={}, after={}, trailer=b""):
    """A root dictionary holding `info` verbatim between other keys: (bytes, digest)."""
    return (b"d" + bencode(before)[1:-1] + b"4:info" + info + bencode(after)[1:-1] + b"e"
            + trailer, digest(info).encode())


def torrent(seed):
    return wrap(bencode({"name": seed}), before={"announce": "http://tracker.invalid/a"})


def native(path):
    """An absolute path as the program under test takes it."""
    return "Z:" + path.replace("/", "\\") if WINDOWS else path


def lines(names, hash_only=False):
    return [FIELDS[n] + (b"" if hash_only else b"  " + n) for n in map(os.fsencode, names)]


def forms():
    """The files of PROG that show every kind of line, by their bare names."""
    return [os.fsdecode(n) for n in FIELDS if n not in (NAME, b"x.torrent", b"-H", b"-hash")]


def notice(target, reason):
    return b"kelvane: " + shown(os.fsencode(target)) + b": " + reason + EOL


def check_usage(what, name, result):
    """result (exit code, stdout, stderr) is the usage screen naming the program name."""
    code, out, err = result
    if WINDOWS:
        head = (b"Usage:\n" + EOL + name + b" -hash File1 File2 FileN " + EOL
                + b"Use [-hash] key to display only hash-sums" + EOL + EOL)
        tail = re.fullmatch(rb"[^\r\n]+" + re.escape(EOL), out[len(head):])
        equal(f"usage screen {what}", (0, b"", head, True),
              (code, err, out[:len(head)], bool(tail)))
        return
    head = (b"Usage: " + name + b" [-hash] [-v2] [-magnet] [-json] [-r] TARGET...\n       " + name
            + b" --version | --help\n")
    told = [b"-hash", b"-v2", b"-magnet", b"-json", b"  -r ", b"--version", b'"*"', b'"?"',
            b'"^MASK"', b'"-" reads standard input', b"current folder", b"sorted by name",
            b"Exit status"]
    equal(f"usage screen {what}", (0, b"", head, [True] * len(told), True),
          (code, err, out[:len(head)], [t in out for t in told], out.endswith(b"file.\n")))


def run(args, stdout=None, program=None, cwd=None, restore_signals=True, merged=False,
        stdin=subprocess.DEVNULL, feed=None):
    """Exit code, stdout and stderr of one run; feed (bytes) comes through a pipe on stdin."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run(EMULATOR + [program or os.path.join(PROG, os.fsdecode(NAME))] + args,
                              cwd=cwd or START, stdout=stdout or out, input=feed,
                              stdin=None if feed is not None else stdin,
                              stderr=subprocess.STDOUT if merged else err, timeout=120,
                              restore_signals=restore_signals).returncode
        out.seek(0)
        err.seek(0)
        return code, out.read(), err.read()


def status(out, err):
    """The exit code of a normal run: on Windows 0; natively 1 after an error line or a notice."""
    failed = err or any(line.startswith(b"Error") for line in out.splitlines())
    return 1 if failed and not WINDOWS else 0


def expect(args, want, as_set=False, err=b"", cwd=None):
    """A normal run: its exit code, these bytes on stderr, these bytes or lines on stdout."""
    code, out, got_err = run(args, cwd=cwd)
    want = want if isinstance(want, bytes) else b"".join(line + EOL for line in want)
    order = (lambda b: b"".join(sorted(b.splitlines(True)))) if as_set else (lambda b: b)
    equal(f"exit code, stderr and output of {args}", (status(want, err), err, order(want)),
          (code, got_err, order(out)))


def fatal(args, stdout, program=None, name=None, restore_signals=True,
          reason=b"No space left on device"):
    """A run whose writes fail: exit code 1 and the diagnostic."""
    code, _, err = run(args, stdout, program, restore_signals=restore_signals)
    if not WINDOWS:
        equal(f"exit code and diagnostic of {args} on broken output",
              (1, b"kelvane: write error: " + reason + b"\n"), (code, err))
        return
    eol = re.escape(EOL)
    match = re.fullmatch(rb"Exception EInOutError in module ([^\r\n]+) at [0-9A-Fa-fx]+\." + eol
                         + rb"[^\r\n]*\." + eol + eol, err)
    equal(f"exit code and diagnostic of {args} on broken output: {err!r}", (1, name or NAME),
          (code, match and match.group(1)))


def start(args, stdout=subprocess.PIPE):
    """The native program started in the background."""
    return subprocess.Popen([os.path.join(PROG, os.fsdecode(NAME))] + args, cwd=START,
                            stdin=subprocess.DEVNULL, stdout=stdout, stderr=subprocess.PIPE)


def setup(program, emulator):
    global SOURCE, EMULATOR, WINDOWS, EOL, NAME, ROOT, PROG, WORK, START, FULL
    SOURCE, EMULATOR, WINDOWS = os.path.abspath(program), emulator, bool(emulator)
    EOL, NAME = (b"\r\n", b"kelvane.exe") if WINDOWS else (b"\n", b"kelvane")
    ROOT = tempfile.mkdtemp(prefix="kelvane-e2e-")
    PROG, WORK = os.path.join(ROOT, "prog"), os.path.join(ROOT, "work")
    START = WORK if WINDOWS else PROG
    FULL = os.open("/dev/full", os.O_WRONLY)
    os.makedirs(os.path.join(PROG, "sub"))
    os.makedirs(WORK)
    shutil.copy2(SOURCE, os.path.join(PROG, os.fsdecode(NAME)))
    FIELDS[NAME] = IN_FILE
    single = bencode({"length": 70000, "name": "song.flac", "piece length": 32768,
                      "pieces": content("song", 60)})
    # Bytes outside the info value count for nothing.
    put(PROG, "single.torrent", *wrap(single, {"announce": "http://t.invalid/", "creation date": 1},
                                      {"url-list": ["http://seed.invalid/"]}, b"junk\r\n"))
    put(PROG, "blank.torrent", b"", BLANK)
    put(PROG, "nested.torrent", b"d3:food4:infod1:ai1eeee", PARSING)
    put(PROG, "readme.txt", b"hello, this is text\r\n", IN_FILE)
    for name in ["x.torrent", "-H", "-hash"]:
        put(PROG, name, *torrent(os.path.join(PROG, name)))
    if not WINDOWS:  # a link that leads nowhere is listed, and cannot be opened (Wine lists none)
        for name, target in [("gone.torrent", "nowhere"), ("gone?.torrent", "nowhere"),
                             ("loop.torrent", "loop.torrent")]:
            os.symlink(target, os.path.join(PROG, name))
            FIELDS[os.fsencode(name)] = IN_FILE


@case()
def usage_help_and_version():
    """The usage screen names the program's file; a help token or --version first shows it."""
    renamed = os.path.join(ROOT, "Hash Tool.EXE" if WINDOWS else "Hash Tool")
    shutil.copy2(SOURCE, renamed)
    for program, name in [(renamed, os.fsencode(os.path.basename(renamed))), (None, NAME)]:
        check_usage(f"of {name}", name, run([], program=program))
        fatal([], FULL, program, name)
    with open(os.path.join(HERE, "..", "..", "CMakeLists.txt")) as f:
        version = re.search(r"project\(kelvane VERSION ([0-9.]+)", f.read()).group(1).encode()
    screen, rests = run([])[1], [[], ["x.torrent", "-hash"], ["-V2", "-magnet", "-hash"]]
    tokens = ["?", "/?", "-?", "-h", "--help", "help", "-help", "HELP", "-Help", "--HELP"]
    for k, token in enumerate(tokens + ["--version", "--VERSION", "--Version"]):
        expect([token] + rests[k % len(rests)],
               screen if token in tokens else b"kelvane " + version + EOL)


@case(windows=False)
def usage_without_proc():
    """Where /proc cannot be read, the usage screen names the program as it was started."""
    script = 'mount -t tmpfs none /proc && exec -a "Hash Tool" "$0"'
    command = ["unshare", "--user", "--map-root-user", "--mount", "bash", "-c", script]
    if sanitized() or subprocess.run(command[:4] + ["true"], capture_output=True).returncode != 0:
        print("SKIPPED: usage screen without /proc (a sanitizer build, or no user namespace)")
        return
    check_usage("without /proc", b"Hash Tool", run_as(command + [os.path.join(PROG, "kelvane")]))


@case(native=False)
def deep_program_folder():
    """A program in a folder over 300 characters deep names itself and lists its own folder."""
    parent = os.path.join(ROOT, "p" * 100, "q" * 100)
    deep = os.path.join(parent, "r" * 100)
    own, program = put(deep, "x.torrent", *torrent("deep")), os.path.join(deep, "Deep Tool.exe")
    put(parent, "x.torrent", *torrent("parent"))
    shutil.copy2(SOURCE, program)
    check_usage("of a program in a deep folder", b"Deep Tool.exe", run([], program=program))
    equal("bare target of a program in a deep folder", (0, own + EOL, b""),
          run(["x.torrent"], program=program))


def sparse_torrent(info_parts):
    """The path of a file "d4:info" + parts + "e", each integer in parts a hole of that size."""
    folder = "/dev/shm" if os.path.isdir("/dev/shm") else WORK
    path = os.path.join(folder, "kelvane-e2e-%d.torrent" % os.getpid())
    with open(path, "wb") as f:
        for part in [b"d4:info"] + info_parts + [b"e"]:
            if isinstance(part, int):
                f.seek(part, os.SEEK_CUR)
            else:
                f.write(part)
    return path


def holds_open(pid, path):
    """Whether the process has the file open, as far as /proc tells at this moment."""
    fds = "/proc/%d/fd" % pid
    try:
        return any(os.readlink(os.path.join(fds, fd)) == path for fd in os.listdir(fds))
    except OSError:
        return False


@case(windows=False)
def large_files():
    """Info values over 4 GiB get their digest; a file changed while it is read, the error line."""
    big, n, zeros = 1_450_000_000, 1 << 29, bytes(1 << 24)
    changes = {"over 4 GiB": None, "one 5 GiB string": None,
               "cut short": lambda f: f.truncate(n // 2),
               "appended to": lambda f: (f.seek(0, os.SEEK_END), f.write(b"e")),
               "rewritten": lambda f: (f.seek(n // 2), f.write(b"x"))}
    for what, change in changes.items():
        parts = ([b"l"] + [x for _ in range(3) for x in (b"%d:" % big, big)] + [b"4:taile"]
                 if what == "over 4 GiB" else [b"d6:pieces%d:" % (5 << 30), 5 << 30, b"e"]
                 if change is None else [b"d6:pieces%d:" % n, n, b"e"])
        path, sha, field = sparse_torrent(parts), hashlib.sha1(), IN_FILE
        try:
            os.utime(path, (1, 1))  # a write now surely gives another modification time
            program, opened = start([path]), False
            while not opened and program.poll() is None:
                opened = holds_open(program.pid, path)
            if change:
                with open(path, "r+b") as f:
                    change(f)
            else:
                for part in parts:
                    if isinstance(part, int):
                        for at in range(0, part, len(zeros)):
                            sha.update(zeros[:min(len(zeros), part - at)])
                    else:
                        sha.update(part)
                field = sha.hexdigest().upper().encode()
            out, err = program.communicate(timeout=300)
        finally:
            os.remove(path)
        line = field + b"  " + os.fsencode(path) + EOL
        equal(f"file {what}, the program having opened it ({opened})",
              (True, status(line, b""), b"", line), (opened, program.returncode, err, out))


@case()
def v2_and_magnet_lines():
    """-hash, -v2 and -magnet in any order and letter case, -magnet winning over -v2."""
    folder = os.path.join(WORK, "v2")
    tree = {"my song": {"": {"length": 20000, "pieces root": content("root", 32)}}}
    v1 = {"length": 20000, "pieces": content("pieces", 40)}
    files = {  # name: its bytes, then its fields without options, with -v2, with -magnet
        "blank.torrent": (b"", BLANK, BLANK, BLANK),
        "cut.torrent": (b"d4:infod12:meta versioni2e9:file tree", IN_FILE, IN_FILE, IN_FILE),
        "nested.torrent": (b"d1:xd4:infod1:ai1eeee", PARSING, PARSING, PARSING)}
    # libtorrent refuses a torrent without a piece length; its link follows the same rules.
    v2only = {"file tree": tree, "meta version": 2}
    for name, info in {"hybrid.torrent": dict(v1, **v2only), "v2only.torrent": v2only,
                       "nopiece.torrent": v2only, "v1.torrent": v1}.items():
        info = dict(info, name="my song")
        if name != "nopiece.torrent":
            info["piece length"] = 16384
        data = bencode(info)
        sha1, sha256 = hashlib.sha1(data).hexdigest(), hashlib.sha256(data).hexdigest()
        link = ("magnet:?" + ("xt=urn:btih:" + sha1 + "&" if "pieces" in info else "")
                + ("" if name == "v1.torrent" else "xt=urn:btmh:1220" + sha256 + "&")
                + "dn=my%20song&tr=http%3a%2f%2ft.invalid%2fa%20b")
        files[name] = (wrap(data, {"announce": " http://t.invalid/a b"})[0], sha1.upper().encode(),
                       b"Error - No v2 info hash!" if name == "v1.torrent"
                       else sha256.upper().encode(), link.encode())
    for name, (data, *_) in files.items():
        put(folder, name, data, b"")
    for options, k in [([], 0), (["-v2"], 1), (["-V2"], 1), (["-hash", "-v2"], 1),
                       (["-v2", "-HASH"], 1), (["-magnet"], 2), (["-v2", "-MAGNET"], 2),
                       (["-Magnet", "-hash", "-v2"], 2), (["-hash", "-magnet"], 2)]:
        named, target = "-hash" not in map(str.lower, options), native(folder + "/*.torrent")
        expect(options + [target],
               [fields[k] + (b"  " + given(target) + name.encode()
                             if named and b"magnet:" not in fields[k] else b"")
                for name, (_, *fields) in files.items()], as_set=True)
    expect(["-v2", "-magnet", "-hash"], b"")


@case()
def declared_lengths():
    """Declared lengths never wrap: past the file's end, an error inside the info value only."""
    folder = os.path.join(WORK, "lengths")
    target = native(folder + "/*")
    info = bencode({"length": 5, "name": "n", "piece length": 16384, "pieces": content("n", 20)})
    want = []
    for length in [2**32 + 20, 2**31, 2**63 - 1, 2**63, 10**20 - 1]:
        want.append(put(folder, "inside%d.torrent" % length,
                        b"d4:infod6:pieces%d:%s4:name1:n6:lengthi5eee" % (length, b"A" * 20),
                        IN_FILE, target))
        want.append(put(folder, "after%d.torrent" % length,
                        b"d4:info%s7:comment%d:%se" % (info, length, b"x" * 40),
                        digest(info).encode(), target))
    expect([target], want, as_set=True)


@case()
def cut_at_every_length():
    """A torrent cut at every length: inside the info value an error, after it the digest."""
    files = [(["readme.txt"], content("readme", 1234)), (["photos", "harbour.jpg"],
             content("harbour", 45000)), (["map.png"], content("map", 20000))]
    info = bencode({"files": [{"length": len(data), "path": path} for path, data in files],
                    "name": "trip", "piece length": 16384,
                    "pieces": pieces(b"".join(data for _, data in files), 16384)})
    data, whole = wrap(info, {"announce": "http://t.invalid/"}, {"url-list": ["http://s.invalid/"]})
    start, folder = data.index(b"4:info") + 6, os.path.join(WORK, "cuts")
    target = native(folder + "/*")
    want = [put(folder, "cut%05d.torrent" % n, data[:n], BLANK if n == 0 else PARSING if n < start
                else IN_FILE if n < start + len(info) else whole, target)
            for n in range(len(data) + 1)]
    expect([target], want, as_set=True)


@case()
def one_line_for_each_file():
    """A line per target in argument order, near misses of options being targets; "" is PROG."""
    names = ["-H"] + forms() * (30 if WINDOWS else 3000)
    expect(names + ["/h", "missing.torrent", "sub"], lines(names),
           err=b"" if WINDOWS else notice("/h", NOT_FOUND) + notice("missing.torrent", NOT_FOUND)
           + notice("sub", b"Is a directory"))
    expect(["-HaSh", ""], lines(FIELDS, True), as_set=True)


@case()
def bare_targets():
    prog_x, work_x = lines(["x.torrent"])[0], put(WORK, "x.torrent", *torrent(WORK))
    targets = ["x.torrent", "-hash", ".\\x.torrent", "./x.torrent", native(PROG + "/x.torrent"),
               "X.TORRENT"]
    if WINDOWS:  # a bare target means the program's folder; "\" separates too; case is ignored
        expect(targets, [prog_x, lines(["-hash"])[0], work_x, work_x, prog_x, prog_x], cwd=WORK)
    else:  # a bare target means the current folder; ".\x.torrent" is one name; case counts
        field = work_x[:40]
        expect(targets + ["*.torrent"], [work_x, field + b"  ./x.torrent",
                                         prog_x[:40] + b"  " + PROG.encode() + b"/x.torrent",
                                         work_x], cwd=WORK,
               err=b"".join(notice(t, NOT_FOUND) for t in ["-hash", ".\\x.torrent", "X.TORRENT"]))


@case()
def broken_output():
    """A failed write ends the run with the diagnostic; natively SIGPIPE ends it as it ends cat."""
    fatal(forms(), FULL)
    equal("nothing to write to a full device", (0, b"", b""), run(["-hash"], FULL))
    for args in [["x.torrent"], forms() * 3]:
        read_end, write_end = os.pipe()
        os.close(read_end)
        if not WINDOWS:
            code, _, err = run(args, write_end)
            equal(f"{args} into a closed pipe: killed by SIGPIPE, no diagnostic",
                  (-signal.SIGPIPE, b""), (code, err))
        fatal(args, write_end, restore_signals=WINDOWS, reason=b"Broken pipe")
        os.close(write_end)


@case(windows=False)
def non_blocking_stdout_waits():
    names = forms() * 400  # well over what a pipe holds
    read_end, write_end = os.pipe()
    os.set_blocking(write_end, False)
    process = start(names, write_end)
    os.close(write_end)
    time.sleep(0.5)  # the pipe fills up meanwhile
    with os.fdopen(read_end, "rb") as reader:
        out = reader.read()
    want = b"".join(line + EOL for line in lines(names))
    equal("exit code, stderr and output through a non-blocking pipe",
          (status(want, b""), b"", want),
          (process.wait(timeout=120), process.stderr.read(), out))


@case(windows=False)
def notices_for_targets_that_yield_nothing():
    os.symlink("loop", os.path.join(WORK, "loop"))
    os.makedirs(os.path.join(WORK, "empty"), exist_ok=True)
    targets = [("./x-missing.torrent", NOT_FOUND), ("sub", b"Is a directory"),
               ("*.none", b"no matching file"), (WORK + "/empty/", b"no matching file"),
               ("sub*", b"no matching file"), ("no?/x.torrent", b"wildcard in the folder part"),
               ("missing/*", NOT_FOUND), ("x.torrent/*", b"Not a directory"),
               (WORK + "/loop/*", b"Too many levels of symbolic links"),
               ("a\nb\x01.torrent", NOT_FOUND)]
    if os.geteuid() != 0:  # the superuser reads every folder
        os.makedirs(os.path.join(WORK, "locked"), mode=0)
        targets.append((WORK + "/locked/*", b"Permission denied"))
    # Standard output and the exit code stay as they are; a notice follows the lines before it.
    args = ["x.torrent"] + [target for target, _ in targets] + ["x.torrent"]
    notices = b"".join(notice(target, reason) for target, reason in targets)
    expect(args, lines(["x.torrent"]) * 2, err=notices)
    line = lines(["x.torrent"])[0] + EOL
    equal("notices among the lines on one stream", (1, line + notices + line, b""),
          run(args, merged=True))


@case(windows=False)
def odd_names():
    """Names of bytes Windows forbids, in a folder so named, by masks and by exact names."""
    odd = b"d\n?*\\:\x01\xff"
    parent = os.path.join(os.fsencode(ROOT), b"odd")
    folder = os.path.join(parent, odd)
    os.makedirs(os.path.join(folder, b"a\nc.torrent"))  # a folder, passed over
    names = [b"a\nb", b"a?b", b"a\\b", b"a*b", b"a:b", b"A?B", b"evil:good.torrent",
             b"Twin.torrent", b"twin.torrent", b"\x01\x7f\xff.torrent"]
    line = {name: put(folder, name, *torrent(name)) for name in names}
    # "?" is one byte, whichever; letter case is ignored; ":" and "\" are bytes like any other.
    for mask, chosen in [(b"*", names), (b"A?B", [n for n in names if len(n) == 3]),
                         (b"*:*", [b"a:b", b"evil:good.torrent"]), (b"*\\*", [b"a\\b"]),
                         (b"*.TORRENT", [n for n in names if n.endswith(b".torrent")])]:
        expect([mask], [line[name] for name in chosen], as_set=True, cwd=folder)
    expect([odd + b"/*"], [put(folder, n, *torrent(n), odd + b"/") for n in names], as_set=True,
           cwd=parent)
    # As the shell hands on an expanded list: each name is that one file, in argument order.
    plain = [name for name in names if b"*" not in name and b"?" not in name]
    for prefix, cwd in [(b"", folder), (b"./", folder), (odd + b"/", parent)]:
        expect([prefix + name for name in plain],
               [put(folder, name, *torrent(name), prefix) for name in plain], cwd=cwd)


@case()
def listing_order():
    """Natively a folder's files come sorted by their names' bytes; Windows keeps its order."""
    folder = os.path.join(WORK, "order")
    # Natively a byte over 0x7F sorts after every ASCII one, and after a name's end.
    names = (["t%05d.torrent" % n for n in range(400)] + ["B", "_a", "a", "a0"]
             + ["\xe9", "b", "b\xe9"] * (not WINDOWS))
    scrambled = sorted(names, key=lambda n: hashlib.sha1(n.encode()).digest())
    want = {os.fsencode(n): put(folder, n, *torrent(n), native(folder) + "/") for n in scrambled}
    target = native(folder + "/*")
    expect([target], [want[n] for n in sorted(want)], as_set=WINDOWS)


@case()
def exclusions():
    """A last component "^REST" selects the files REST does not match, letter case ignored."""
    folder = os.path.join(WORK, "excluded")
    line = {n: put(folder, n, *torrent(n), native(folder) + "/")
            for n in ["a.torrent", "B.torrent", "^c.torrent", "notes.txt"]}
    os.makedirs(os.path.join(folder, "also.torrent"), exist_ok=True)  # a folder: never a line
    for rest, chosen in [("^A*", ["B.torrent", "^c.torrent", "notes.txt"]),
                         ("^*.torrent", ["notes.txt"]),
                         ("^c*", ["a.torrent", "B.torrent", "^c.torrent", "notes.txt"]),
                         ("^^c*", ["a.torrent", "B.torrent", "notes.txt"]),
                         ("?c*", ["^c.torrent"]), ("^*", [])]:
        err = b"" if WINDOWS or chosen else notice(native(folder + "/" + rest), b"no matching file")
        expect([native(folder + "/" + rest)], [line[n] for n in chosen], as_set=True, err=err)


def readable_by_all():
    """A scratch folder an unprivileged user can enter, and the copy of the program it holds."""
    folder = tempfile.mkdtemp(prefix="pub-", dir=ROOT)
    os.chmod(ROOT, 0o755)
    os.chmod(folder, 0o755)
    return folder, shutil.copy2(SOURCE, os.path.join(folder, "kelvane"))


def run_as(command, nobody=False, **options):
    """run() of a whole command line; with nobody, as an unprivileged user (root or not)."""
    if nobody and os.geteuid() == 0:
        command = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"] + command
    return run(command[1:], program=command[0], **options)


def sanitized():
    with open(SOURCE, "rb") as program:
        return b"__asan_init" in program.read()


@case(windows=False)
def resources_are_no_file_fault():
    """Descriptors, threads and memory the system refuses never make a valid file's line wrong."""
    folder, program = readable_by_all()
    files = os.path.join(folder, "many")
    names = [os.path.join(files, "f%05d.torrent" % n) for n in range(10000)]
    want = [put(files, os.path.basename(n), *torrent(n), files + "/") for n in names]
    # The sanitizers' own run-time needs descriptors of its own, and a thread to look for leaks.
    for limit in [] if sanitized() else [4, 5, 6, 8, 16]:
        for what, args in [("mask", [files + "/*"]), ("names", names)]:
            # Every line and status 0, or the first lines, the diagnostic and status 1.
            code, out, err = run_as(["prlimit", "--nofile=%d" % limit, program] + args)
            got = out.splitlines()
            whole, cut = (code, got, err) == (0, want, b""), (
                code == 1 and got == want[:len(got)] and len(got) < len(want) and re.fullmatch(
                    rb"kelvane: [^\n]+: (Too many open files|Cannot allocate memory|Resource "
                    rb"temporarily unavailable)\n", err) is not None)
            equal(f"{what} with {limit} descriptors: all lines, or those before the diagnostic"
                  f" (exit {code}, {len(got)} lines, stderr {err[:200]!r})", True,
                  whole or (cut and limit < 5))
    # No second thread can be started: one does all the work, also for the digests of a large
    # hybrid, which two threads take at once where they can.
    tree = {"x": {"": {"length": 1, "pieces root": content("root", 32)}}}
    large = bencode({"file tree": tree, "length": 1, "meta version": 2, "name": "x",
                     "piece length": 16384, "pieces": content("large", 3_000_000)})
    put(folder, "large.torrent", *wrap(large), folder + "/")
    one_thread = ["env", "ASAN_OPTIONS=detect_leaks=0", "prlimit", "--nproc=1", program]
    code, out, err = run_as(one_thread + [files + "/*"] + names[:100], nobody=True)
    equal("every digest where no thread can be started", (0, b"", want + want[:100]),
          (code, err, out.splitlines()))
    args = ["-json", os.path.join(folder, "large.torrent")]
    equal("both digests of a large hybrid where no thread can be started", run(args),
          run_as(one_thread + args, nobody=True))
    if sanitized():
        print("SKIPPED: descriptor and memory limits (the sanitizers' run-time needs descriptors"
              " of its own, and more address space than any limit leaves)")
        return
    # A file is read through one small buffer, but a link keeps the values it reads whole: a
    # 40 MB file list is refused memory, after the line of a small file.
    files = [{"length": 1, "path": ["%07d" % i + "x" * 990]} for i in range(40_000)]
    info = bencode({"files": files, "name": "big", "piece length": 16384, "pieces": b"p" * 20})
    big = os.path.join(folder, "big.torrent")
    put(folder, "big.torrent", *wrap(info), folder + "/")
    small = run(["-magnet", names[0]])[1]
    fits = next(kib for kib in range(20_000, 400_000, 5_000)  # the least a small file needs
                if run_as(["prlimit", "--as=%d" % (kib * 1024), program, "-magnet", names[0]])[:2]
                == (0, small))
    equal("a file memory is refused for: the lines before it, the diagnostic, status 1",
          (1, small, b"kelvane: " + os.fsencode(big) + b": Cannot allocate memory\n"),
          run_as(["prlimit", "--as=%d" % ((fits + 20_000) * 1024), program, "-magnet", names[0],
                  big, names[1]]))
    code, out, err = run(["-magnet", big])
    equal("the same file with memory enough: its link", (0, b"", True),
          (code, err, out.startswith(b"magnet:?xt=urn:btih:" + digest(info).lower().encode())))


@case(windows=False)
def unsearchable_folder():
    """A file of a folder of mode 744: listed, the error line; named exactly, the notice."""
    folder, program = readable_by_all()
    locked = os.path.join(folder, "locked")
    put(locked, "a.torrent", *torrent("a"))
    os.chmod(locked, 0o744)
    equal("a listed file of a folder one cannot search, and the same file named exactly",
          (1, IN_FILE + b"  " + os.fsencode(locked) + b"/a.torrent\n",
           notice(locked + "/a.torrent", b"Permission denied")),
          run_as([program, locked + "/*", locked + "/a.torrent"], nobody=True))


@case(windows=False)
def vanished_names():
    """Listed names gone by the time they are opened are passed over, whatever bytes they hold."""
    folder = os.path.join(WORK, "vanish")
    names = ["f%05d%s.torrent" % (n, "\\:*?"[n % 4]) for n in range(3000)]
    want = [put(folder, n, *torrent(n), folder + "/") for n in names]
    read_end, write_end = os.pipe()
    program = start([folder + "/*"], write_end)
    os.close(write_end)
    time.sleep(1)  # the listing is taken, and the pipe full long before the last name
    shutil.rmtree(folder)
    with os.fdopen(read_end, "rb") as reader:
        out = reader.read().splitlines()
    equal("names gone before they were opened: passed over without a word",
          (0, b"", True, True), (program.wait(timeout=60), program.stderr.read(),
                                 out == want[:len(out)], 0 < len(out) < len(want)))


@case()
def control_bytes_in_names():
    """A name holding a line feed and a forged line shows as one line, control bytes as "?"."""
    folder = os.path.join(WORK, "control")
    put(folder, "a\n" + "DEADBEEF" * 5 + "  ubuntu.torrent", *torrent("forged"))
    out = run([native(folder + "/*")])[1]
    shown = b"a?" + b"DEADBEEF" * 5 + b"  ubuntu.torrent" + EOL
    equal("one line for a name with a line feed, no forged line", (1, True),
          (len(out.splitlines()), out.endswith(shown)))


JQ = shutil.which("jq")
KEYS = ["path", "infohash", "infohash_v2", "magnet", "name", "error"]


def records(args, what):
    """Exit code, records and stderr of a -json run, read by Python's json and by jq alike."""
    code, out, err = run(args)
    lines = out.split(EOL)
    equal(f"{what}: output ends with a line end", b"", lines.pop())
    parsed = []
    for line in lines:
        try:
            parsed.append(json.loads(line.decode("utf-8")))
        except ValueError as error:
            equal(f"{what}: a line that is JSON in UTF-8 ({error})", None, line)
    if JQ:
        query = "[" + ",".join(f'.["{key}"]' for key in KEYS + ["path_hex", "name_hex"]) + "]"
        got = subprocess.run([JQ, "-c", query], input=out, capture_output=True).stdout
        equal(f"{what}: jq reads the values Python reads",
              [[r.get(key) for key in KEYS + ["path_hex", "name_hex"]] for r in parsed],
              [json.loads(line) for line in got.splitlines()])
    return code, parsed, err


def exact(record, key):
    """The exact bytes a text of a record stands for: its hex beside it, else its UTF-8."""
    if record.get(key) is None:
        return None
    hex_digits = record.get(key + "_hex")
    return bytes.fromhex(hex_digits) if hex_digits is not None else record[key].encode()


@case()
def json_records_match_libtorrent():
    """-json over the cross-check's files: the lines' identities, and libtorrent's, in records."""
    sys.path.insert(0, os.path.join(HERE, "..", "crosscheck"))
    import crosscheck
    if crosscheck.lt is None:
        print("SKIPPED: -json against libtorrent (this python3 has no libtorrent binding)")
        return
    from v2_corpus import make_corpus
    folder, rng = os.path.join(WORK, "json"), __import__("random").Random(23)
    make_corpus(folder)
    for i in range(150):
        with open(os.path.join(folder, "c%03d.torrent" % i), "wb") as f:
            f.write(crosscheck.crafted(rng))
    crosscheck.make_with_tools(folder)  # their content lies in a folder the mask passes over
    mask = native(folder + "/*.torrent")
    code, got, err = records(["-json", mask], "-json over the cross-check's files")
    plain = [line.partition(b"  ") for line in run([mask])[1].split(EOL)[:-1]]
    equal("-json: exit code, stderr, a record per file in the plain run's order, every key",
          (0, b"", [os.fsdecode(name) for _, _, name in plain], [KEYS] * len(plain)),
          (code, err, [r["path"] for r in got], [[k for k in KEYS if k in r] for r in got]))
    lines = {"infohash": plain, "infohash_v2": run(["-v2", mask])[1].split(EOL)[:-1],
             "magnet": run(["-magnet", mask])[1].split(EOL)[:-1]}
    equal("-json: the identities the plain, -v2 and -magnet lines show",
          [(f.decode().lower(), None if v.startswith(b"Error") else v.partition(b"  ")[0].decode()
            .lower(), m.decode()) for (f, _, _), v, m in zip(*lines.values())],
          [(r["infohash"], r["infohash_v2"], r["magnet"]) for r in got])
    kinds = set()
    for record in got:
        path = os.path.join(folder, record["path"])
        try:
            loaded = crosscheck.lt.torrent_info(path)
        except RuntimeError:
            equal(f"{record['path']}: a link though libtorrent refuses the file", True,
                  record["magnet"].startswith("magnet:?xt=urn:bt"))
            continue
        hashes, link = loaded.info_hashes(), crosscheck.lt.make_magnet_uri(loaded)
        kinds.add((hashes.has_v1(), hashes.has_v2()))
        dn = [part[3:] for part in link.split("&") if part.startswith("dn=")]
        equal(f"{record['path']}: v1, v2, link and name as libtorrent gives them",
              (str(hashes.v1) if hashes.has_v1() else record["infohash"],
               str(hashes.v2) if hashes.has_v2() else None, True,
               urllib.parse.unquote_to_bytes(dn[0]) if dn else None),
              (record["infohash"], record["infohash_v2"],
               crosscheck.same_link(record["magnet"], link, path), exact(record, "name")))
    equal("-json: v1, v2-only and hybrid files were compared", 3, len(kinds))


@case()
def json_odd_names_and_errors():
    """Odd names come back exactly from path or path_hex; -json overrides the other options."""
    folder = os.path.join(os.fsencode(WORK), b"odd json")
    # Characters the ANSI code page holds (Windows-1252 under Wine): the others are listed as "?".
    names = [b"caf\xc3\xa9 \xe2\x80\x94 \xc2\xbd.torrent", b"plain.torrent"]
    if not WINDOWS:
        names += [b"\xe6\x97\xa5.torrent", b"a\nb.torrent", b'q"uote.torrent', b"back\\slash.torrent",
                  b"\x01\x1f\x7f.torrent", b"bad\xff\xc3(.torrent", b"\xed\xa0\x80.torrent"]
    for name in names:
        put(folder, name, *torrent(name))
    errors = {b"blank.torrent": (b"", BLANK), b"nested.torrent": (b"d1:xd4:infoi1eee", PARSING),
              b"cut.torrent": (b"d4:infod4:name", IN_FILE)}
    for name, (data, field) in errors.items():
        put(folder, name, data, field)
    mask = os.path.join(folder, b"*") if not WINDOWS else native(os.fsdecode(folder) + "/*")
    code, got, err = records(["-json", mask], "-json over odd names")
    # The path is the name field: natively the path as given, on Windows the file's name. Under
    # Wine the names are the UTF-8 the Linux side holds, shown through the ANSI code page.
    given = (lambda name: name) if WINDOWS else (lambda name: os.path.join(folder, name))
    equal("-json: every name exactly once, from path or path_hex",
          sorted(given(n) for n in names + list(errors)), sorted(exact(r, "path") for r in got))
    equal("-json: records of files with errors",
          {given(name): [None] * 4 + [field.decode().rstrip()] for name, (_, field) in errors.items()},
          {exact(r, "path"): [r[k] for k in KEYS[1:]] for r in got if r["error"]})
    for options in [["-hash", "-v2", "-magnet", "-json"], ["-JSON", "-Magnet"]]:
        equal(f"{options}: the records of -json alone", (0 if WINDOWS else 1, got, b""),
              records(options + [mask], f"{options}")[0:3])
    missing = os.path.join(WORK, "missing.torrent")
    args = [native(missing), native(os.path.join(os.fsdecode(folder), "plain.torrent"))]
    plain, json_run = run(args), records(["-json"] + args, "-json with a missing target")
    equal("-json: exit code and notices as without it, the record in place of the line",
          (plain[0], plain[2], [os.fsdecode(given(b"plain.torrent"))]),
          (json_run[0], json_run[2], [r["path"] for r in json_run[1]]))
    expect(["-json", "-json"], [], err=b"" if WINDOWS else notice("-json", NOT_FOUND))
    fatal(["-json", mask], FULL)


def stream_torrent(seed, pieces_size=60):
    """A hybrid holding CR LF and 0x1A: (bytes, its plain, -v2 and -magnet fields)."""
    tree = {seed: {"": {"length": 20000, "pieces root": content("root", 32)}}}
    info = bencode({"file tree": tree, "length": 20000, "meta version": 2, "name": seed + "\r\n\x1a",
                    "piece length": 16384, "pieces": b"\r\n\x1a" + content(seed, pieces_size)})
    data = wrap(info, {"announce": "http://t.invalid/a"}, {"comment": "\x1a\r\n"})[0]
    sha1, sha256 = hashlib.sha1(info).hexdigest(), hashlib.sha256(info).hexdigest()
    link = ("magnet:?xt=urn:btih:%s&xt=urn:btmh:1220%s&dn=%s___&tr=http%%3a%%2f%%2ft.invalid"
            "%%2fa" % (sha1, sha256, seed))
    return data, sha1.upper().encode(), sha256.upper().encode(), link.encode()


@case()
def standard_input_redirected_from_a_file():
    """The target "-" reads standard input byte for byte; a file named "-" needs its folder."""
    folder = os.path.join(WORK, "stdin")
    data, sha1, sha256, link = stream_torrent("redirected")
    path = os.path.join(folder, "x.torrent")
    put(folder, "x.torrent", data, b"")
    dash = put(folder, "-", *torrent("a file named -"), os.path.join(".", "-"))
    for options, field in [([], sha1), (["-v2"], sha256), (["-magnet"], link)]:
        with open(path, "rb") as f:
            code, out, err = run(options + ["-"], stdin=f)
        named = b"" if options == ["-magnet"] else b"  -"
        equal(f"{options} - < a file", (0, field + named + EOL, b""), (code, out, err))
    expect([os.path.join(".", "-")], [dash], cwd=folder)


@case(windows=False)
def streams():
    """Pipes, /dev/stdin and a process substitution are read as files with their bytes are."""
    data, sha1, _, _ = stream_torrent("piped", 3_000_000)
    start, end = data.index(b"4:info") + 6, data.index(b"7:comment")
    x = lines(["x.torrent"], True)[0] + b"\n"
    for args, feed, out in [(["-"], b"", BLANK), (["-"], data[:start + 10], IN_FILE),
                            (["-"], data[:end - 1], IN_FILE), (["-"], data[:end], sha1),
                            (["-hash", "x.torrent", "-", "x.torrent"], data, x + sha1 + b"\n" + x),
                            (["-hash", "/dev/stdin"], data, sha1 + b"\n")]:
        out = out + b"  -\n" if args == ["-"] else out
        equal(f"{args} through a pipe of {len(feed)} bytes", (status(out, b""), out, b""),
              run(args, feed=feed))
    path = os.path.join(WORK, "substituted.torrent")
    with open(path, "wb") as f:
        f.write(data)
    script = 'exec "$0" -hash <(cat "$1")'
    equal("a process substitution", (0, sha1 + b"\n", b""),
          run(["-c", script, os.path.join(PROG, os.fsdecode(NAME)), path], program="bash"))


@case(windows=False)
def fifo_named_exactly_with_a_writer():
    """A FIFO named exactly is read once a writer comes; with no byte written, a blank file."""
    folder = os.path.join(WORK, "fifo")
    os.makedirs(folder, exist_ok=True)
    os.mkfifo(os.path.join(folder, "x.fifo"))
    data, sha1, _, _ = stream_torrent("fifo", 3_000_000)

    def write(data):
        time.sleep(0.2)  # the program waits for the writer, and then for its bytes
        with open(os.path.join(folder, "x.fifo"), "wb") as f:
            time.sleep(0.2)
            f.write(data)

    for data, field in [(data, sha1), (b"", BLANK)]:
        writer = threading.Thread(target=write, args=(data,))
        writer.start()
        expect(["x.fifo"], [field + b"  x.fifo"], cwd=folder)
        writer.join()


@case(windows=False)
def fifo_in_a_masked_folder_is_passed_over():
    """A mask and a folder pass over a FIFO without opening it: no writer comes, no run hangs."""
    folder = os.path.join(WORK, "masked")
    want = [put(folder, "a.torrent", *torrent("masked"), target)
              for target in ["*.torrent", "./", "?.torrent"]]
    os.mkfifo(os.path.join(folder, "b.torrent"))
    expect(["*.torrent", "./", "?.torrent"], want, cwd=folder)


@case(windows=False)
def v2_and_magnet_on_a_stream():
    """-v2 and -magnet give a stream the line the same bytes give as a file."""
    data, sha1, sha256, link = stream_torrent("options", 3_000_000)
    v1 = wrap(bencode({"name": "v1", "piece length": 16384, "pieces": content("v1", 40)}))[0]
    path = os.path.join(WORK, "options.torrent")
    for options, bytes_, field in [(["-v2"], data, sha256), (["-magnet"], data, link),
                                   (["-v2"], v1, b"Error - No v2 info hash!")]:
        with open(path, "wb") as f:
            f.write(bytes_)
        named = run(options + ["-hash", path])
        equal(f"{options} on a stream", (status(field, b""), field + b"\n", b""), named)
        equal(f"{options} on a stream as on a file", named, run(options + ["-hash", "-"], feed=bytes_))
    # A record needs both digests of a v2 torrent, which a stream can only give on the way.
    with open(path, "wb") as f:
        f.write(data)
    named, piped = run(["-json", path]), run(["-json", "-"], feed=data)
    equal("-json on a stream as on a file, but for the path",
          (0, named[1].replace(json.dumps(path).encode(), b'"-"'), b""), piped)


TREE = ["a.torrent", "a b.torrent", "a-b/x.torrent", "a/y.torrent", "a.d/z.TORRENT", "readme.txt",
        "2019/01/deep.torrent", "2019/01/a.torrent", "2019/notes.txt"]


def make_tree(folder, paths=TREE):
    """Files at several depths and an empty folder: each file's path -> its line's field."""
    os.makedirs(os.path.join(folder, "empty"), exist_ok=True)
    return {p: put(os.path.join(folder, os.path.dirname(p)), os.path.basename(p), *torrent(p))[:40]
            for p in paths}


def walk_lines(fields, paths, prefix):
    """The lines of the files at paths below a target's folder, natively after prefix."""
    return [fields[p] + b"  " + os.fsencode(p.replace("/", "\\") if WINDOWS else prefix + p)
            for p in paths]


def find_sorted(folder, keep=lambda name: True):
    """The paths below folder of `find DIR -type f | LC_ALL=C sort` whose file names keep takes."""
    found = subprocess.run(f"find '{folder}' -type f | LC_ALL=C sort", shell=True,
                           capture_output=True, check=True).stdout.decode()
    return [p[len(folder) + 1:] for p in found.splitlines() if keep(os.path.basename(p))]


def folders_in_turn(paths):
    """Whether Windows paths give each folder's files, then its subfolders', in one run."""
    folders = [tuple(path.split("\\")[:-1]) for path in paths]
    for top in {f[:k] for f in folders for k in range(len(f) + 1)}:
        below = [i for i, f in enumerate(folders) if f[:len(top)] == top]
        own = [folders[i] == top for i in below]
        if below != list(range(below[0], below[0] + len(below))) or own != sorted(own)[::-1]:
            return False
    return True


def expect_walk(args, want, what, cwd=None):
    """A -r run: natively these lines, on Windows in an order folders_in_turn takes."""
    if not WINDOWS:
        expect(args, want, cwd=cwd)
        return
    code, out, err = run(args, cwd=cwd)
    got = out.split(EOL)[:-1]
    equal(f"{what}: exit code, stderr, each line once", (0, b"", sorted(want)),
          (code, err, sorted(got)))
    equal(f"{what}: each folder's files before its subfolders", True,
          folders_in_turn([line[42:].decode() for line in got]))


@case()
def tree_walk():
    """-r takes every folder below, natively in the order of `find | LC_ALL=C sort`."""
    folder = os.path.join(WORK, "tree")
    fields = make_tree(folder)
    torrents = lambda name: name.lower().endswith(".torrent")  # noqa: E731
    for rest, keep in [("*.torrent", torrents), ("^*.torrent", lambda n: not torrents(n)),
                       ("*", lambda n: True)]:
        expect_walk(["-r", native(folder + "/" + rest)],
                    walk_lines(fields, find_sorted(folder, keep), folder + "/"), f"-r {rest}")
    if not WINDOWS:  # a folder named exactly, with or without the separator
        for target in [folder, folder + "/", "tree", "./tree//"]:
            prefix = target.rstrip("/") + "/" if target != "./tree//" else target
            expect(["-R", "-hash", target], [line[:40] for line in
                   walk_lines(fields, find_sorted(folder), prefix)], cwd=WORK)
            expect(["-r", target], walk_lines(fields, find_sorted(folder), prefix), cwd=WORK)
    else:  # a name without wildcards is a mask, and a folder never gives a line
        expect(["-r", native(folder)], [])
    # A file named exactly is that file alone, but a mask on Windows; a missing one, a notice.
    named = [p for p in find_sorted(folder, lambda n: n == "a.torrent") if WINDOWS or "/" not in p]
    expect_walk(["-r", native(folder + "/a.torrent")], walk_lines(fields, named, folder + "/"),
                "-r over a file named exactly")
    for rest in ["missing.torrent", "nowhere/*.torrent"]:
        target = native(folder + "/" + rest)
        expect(["-r", target], [], err=b"" if WINDOWS else notice(target, NOT_FOUND))
    top = [p for p in find_sorted(folder, torrents) if "/" not in p]
    expect([native(folder + "/*.torrent")], walk_lines(fields, top, folder + "/"), as_set=WINDOWS)


@case()
def tree_links():
    """-r follows no link to a folder, so loops end; a link to a file is any file."""
    folder = os.path.join(WORK, "links")
    fields = make_tree(folder, ["top.torrent", "x/in_x.torrent", "y/in_y.torrent"])
    for link, target in [("x/up", ".."), ("x/to_y", "../y"), ("y/to_x", "../x"),
                         ("y/file_link.torrent", "../top.torrent")]:
        os.symlink(target, os.path.join(folder, link))
    fields["y/file_link.torrent"] = fields["top.torrent"]
    want = ["top.torrent", "x/in_x.torrent", "y/file_link.torrent", "y/in_y.torrent"]
    expect_walk(["-r", native(folder + "/*")], walk_lines(fields, want, folder + "/"),
                "-r over links")


@case(windows=False)
def tree_unreadable_folder():
    """-r past a folder it cannot read: the notice in its place, then status 1."""
    public, program = readable_by_all()
    folder = os.path.join(public, "tree")
    fields = make_tree(folder, ["a.torrent", "locked/in.torrent", "z/after.torrent"])
    os.chmod(os.path.join(folder, "locked"), 0)
    first, last = walk_lines(fields, ["a.torrent", "z/after.torrent"], folder + "/")
    try:
        equal("-r past a folder one cannot read: the notice in its place, status 1",
              (1, first + EOL + notice(folder + "/locked", b"Permission denied") + last + EOL,
               b""), run_as([program, "-r", folder], nobody=True, merged=True))
    finally:
        os.chmod(os.path.join(folder, "locked"), 0o755)


@case()
def tree_json():
    """-r -json: a record per line of -r, with its name and digest."""
    folder = os.path.join(WORK, "json tree")
    make_tree(folder)
    target = native(folder + "/*.torrent")
    code, out, err = run(["-r", target])
    plain = out.split(EOL)[:-1]
    json_code, got, json_err = records(["-r", "-json", target], "-r -json")
    equal("-r -json: exit code, notices, paths and digests of the lines -r gives",
          (code, err, [line[42:] for line in plain], [line[:40].lower() for line in plain]),
          (json_code, json_err, [exact(r, "path") for r in got],
           [r["infohash"].encode() for r in got]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program")
    parser.add_argument("--emulator", nargs="*", default=[])
    parser.add_argument("-k", dest="names", action="append", default=[])
    parser.add_argument("--list", action="store_true")
    options = parser.parse_args()
    # A name given whole picks that case alone, though other names hold it.
    chosen = [name for name, (_, *runs) in CASES.items() if runs[not options.emulator] and (
        not options.names or any(n == name if n in CASES else n in name for n in options.names))]
    if options.list or not chosen:
        print("\n".join(chosen) or "no case matches")
        return 0 if chosen else 2
    try:
        setup(options.program, options.emulator)
        for name in chosen:
            CASES[name][0]()
    finally:
        if ROOT:
            if os.path.isdir(os.path.join(WORK, "locked")):
                os.chmod(os.path.join(WORK, "locked"), 0o700)
            shutil.rmtree(ROOT, ignore_errors=True)
    print(f"e2e: {len(chosen)} cases, {tally[0]} checks passed, {tally[1]} failed")
    return 1 if tally[1] else 0


if __name__ == "__main__":
    sys.exit(main())
