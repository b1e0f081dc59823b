#!/usr/bin/env python3
"""End-to-end tests of kelvane, run as a user runs it.

    run_e2e.py PROGRAM [--emulator COMMAND...] [-k NAME]... [--list]

With --emulator the program (the Windows build) runs under that command. Each case is a function
below; -k NAME runs the cases whose names hold NAME, --list names them. A copy of the program lies
in the scratch folder PROG beside most test files; runs start in WORK on Windows, where a bare
target means the program's folder, and in PROG natively: either way a bare target means PROG.
"""

import argparse
import filecmp
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from bencode_tools import bencode, content, digest, pieces  # noqa: E402

NOT_FOUND, IN_FILE = b"No such file or directory", b"Error in file "
NO_V2 = b"Error - No v2 info hash!"
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
    """A name as the program's line shows it: natively, control bytes become "?"."""
    return name if WINDOWS else re.sub(rb"[\x01-\x1f\x7f]", b"?", name)


def put(folder, name, data, field):
    """Writes a file and returns its line, which starts with field (a digest or an error)."""
    folder, name = os.fsencode(folder), os.fsencode(name)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
    if folder == os.fsencode(PROG):
        FIELDS[name] = field
    return field + b"  " + shown(name)


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


def with_name(field, name):
    """A file's line: its field and its name, or a magnet link alone, which names the torrent."""
    return field if field.startswith(b"magnet:?") else field + b"  " + os.fsencode(name)


def forms():
    """The files of PROG that show every kind of line, by their bare names."""
    return [os.fsdecode(n) for n in FIELDS if n not in (NAME, b"x.torrent", b"-H", b"-hash")]


def notice(target, reason):
    return b"kelvane: " + shown(os.fsencode(target)) + b": " + reason + EOL


def usage(name):
    return (b"Usage:\n" + EOL + name + b" -hash File1 File2 FileN " + EOL
            + b"Use [-hash] key to display only hash-sums" + EOL + EOL)


def run(args, stdout=None, program=None, cwd=None, restore_signals=True, merged=False):
    """Exit code, stdout and stderr of one run; with merged, both streams go to stdout."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run(EMULATOR + [program or os.path.join(PROG, os.fsdecode(NAME))] + args,
                              cwd=cwd or START, stdin=subprocess.DEVNULL, stdout=stdout or out,
                              stderr=subprocess.STDOUT if merged else err, timeout=120,
                              restore_signals=restore_signals).returncode
        out.seek(0)
        err.seek(0)
        return code, out.read(), err.read()


def expect(args, want, as_set=False, err=b"", cwd=None):
    """A normal run: exit code 0, these bytes on stderr, these bytes or lines on stdout."""
    code, out, got_err = run(args, cwd=cwd)
    want = want if isinstance(want, bytes) else b"".join(line + EOL for line in want)
    order = (lambda b: b"".join(sorted(b.splitlines(True)))) if as_set else (lambda b: b)
    equal(f"exit code, stderr and output of {args}", (0, err, order(want)),
          (code, got_err, order(out)))


def fatal(args, stdout, program=None, name=None, restore_signals=True):
    """A run whose writes fail: exit code 1 and the diagnostic naming the program's file."""
    code, _, err = run(args, stdout, program, restore_signals=restore_signals)
    eol = re.escape(EOL)
    match = re.fullmatch(rb"Exception EInOutError in module ([^\r\n]+) at [0-9A-Fa-fx]+\." + eol
                         + rb"[^\r\n]*\." + eol + eol, err)
    equal(f"exit code and diagnostic of {args} on broken output: {err!r}", (1, name or NAME),
          (code, match and match.group(1)))


def start(path):
    """The native program started on one file, its output piped."""
    return subprocess.Popen([os.path.join(PROG, os.fsdecode(NAME)), path], cwd=WORK,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def setup(program, emulator):
    global SOURCE, EMULATOR, WINDOWS, EOL, NAME, ROOT, PROG, WORK, START, FULL
    SOURCE, EMULATOR, WINDOWS = os.path.abspath(program), emulator, bool(emulator)
    EOL, NAME = (b"\r\n", b"kelvane.exe") if WINDOWS else (b"\n", b"kelvane")
    ROOT = tempfile.mkdtemp(prefix="kelvane-e2e-")
    PROG, WORK = os.path.join(ROOT, "prog"), os.path.join(ROOT, "work")
    START = WORK if WINDOWS else PROG
    FULL = os.open("/dev/full", os.O_WRONLY)
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
    put(WORK, "x.torrent", *torrent(WORK))
    if not WINDOWS:  # a link that leads nowhere is listed, and cannot be opened (Wine lists none)
        for name, target in [("gone.torrent", "nowhere"), ("gone?.torrent", "nowhere"),
                             ("loop.torrent", "loop.torrent")]:
            os.symlink(target, os.path.join(PROG, name))
            FIELDS[os.fsencode(name)] = IN_FILE


@case()
def version_option():
    """--version first, in any letter case, gives the project's version whatever follows, options
    included."""
    with open(os.path.join(HERE, "..", "..", "CMakeLists.txt")) as f:
        version = re.search(r"project\(kelvane VERSION ([0-9.]+)", f.read()).group(1)
    for args in [["--version"], ["--VERSION", "x.torrent", "-hash"],
                 ["--Version", "-v2", "-magnet"]]:
        expect(args, [b"kelvane " + version.encode()])


@case()
def cut_at_every_length():
    """A multi-file torrent cut at every length, all cuts in one run: a cut inside the info value
    is an error, a cut after it still gives the digest."""
    files = [(["readme.txt"], content("readme", 1234)), (["photos", "harbour.jpg"],
             content("harbour", 45000)), (["map.png"], content("map", 20000))]
    info = bencode({"files": [{"length": len(data), "path": path} for path, data in files],
                    "name": "trip", "piece length": 16384,
                    "pieces": pieces(b"".join(data for _, data in files), 16384)})
    data, whole = wrap(info, {"announce": "http://t.invalid/", "comment": "a folder"},
                       {"url-list": ["http://seed.invalid/"]})
    start = data.index(b"4:info") + 6
    folder, want = os.path.join(WORK, "cuts"), []
    for length in range(len(data) + 1):
        field = (b"Error - Blank file!" if length == 0 else b"Error parsing file!" if length < start
                 else IN_FILE if length < start + len(info) else whole)
        want.append(put(folder, "cut%05d.torrent" % length, data[:length], field))
    expect([native(folder + "/*")], want, as_set=True)


def sparse_torrent(info_parts):
    """A file of a root dictionary whose info value is made of byte strings and, for each integer,
    that many zero bytes that take no space; returns its path. It goes to memory where it can:
    reading a hole there costs no page of its own."""
    folder = "/dev/shm" if os.path.isdir("/dev/shm") else WORK
    path = os.path.join(folder, "kelvane-e2e-%d.torrent" % os.getpid())
    with open(path, "wb") as f:
        for part in [b"d4:info"] + info_parts + [b"e"]:
            if isinstance(part, int):
                f.seek(part, os.SEEK_CUR)
            else:
                f.write(part)
    return path


@case(windows=False)
def info_over_4gib():
    """An info value over 4 GiB, its digest checked against hashlib's while the program runs."""
    n = 1_450_000_000
    parts = [b"l"] + [x for _ in range(3) for x in (b"%d:" % n, n)] + [b"4:taile"]
    path, sha, zeros = sparse_torrent(parts), hashlib.sha1(), bytes(1 << 24)
    try:
        program = start(path)
        for part in parts:
            if isinstance(part, int):
                for at in range(0, part, len(zeros)):
                    sha.update(zeros[:min(len(zeros), part - at)])
            else:
                sha.update(part)
        out, err = program.communicate(timeout=300)
    finally:
        os.remove(path)
    line = sha.hexdigest().upper().encode() + b"  " + os.fsencode(os.path.basename(path))
    equal("info value over 4 GiB", (0, b"", line + EOL), (program.returncode, err, out))


def holds_open(pid, path):
    """Whether the process has the file open, as far as /proc tells at this moment."""
    fds = "/proc/%d/fd" % pid
    try:
        return any(os.readlink(os.path.join(fds, fd)) == path for fd in os.listdir(fds))
    except OSError:
        return False


@case(windows=False)
def changed_while_read():
    """A large file cut short, appended to or rewritten in place while the program reads it."""
    n = 1 << 29
    changes = {"cut short": lambda f: f.truncate(n // 2),
               "appended to": lambda f: (f.seek(0, os.SEEK_END), f.write(b"e")),
               "rewritten": lambda f: (f.seek(n // 2), f.write(b"x"))}
    for what, change in changes.items():
        path = sparse_torrent([b"d6:pieces%d:" % n, n, b"e"])
        try:
            os.utime(path, (1, 1))  # a write now surely gives another modification time
            program, opened = start(path), False
            while not opened and program.poll() is None:
                opened = holds_open(program.pid, path)
            with open(path, "r+b") as f:
                change(f)
            out, err = program.communicate(timeout=300)
        finally:
            os.remove(path)
        line = IN_FILE + b"  " + os.fsencode(os.path.basename(path))
        equal(f"file {what} while read, after the program opened it ({opened})",
              (True, 0, b"", line + EOL), (opened, program.returncode, err, out))


@case(windows=False)
def usage_without_proc():
    """Where /proc cannot be read, the usage screen names the program as it was started."""
    script = 'mount -t tmpfs none /proc && exec -a "Hash Tool" "$0"'
    command = ["unshare", "--user", "--map-root-user", "--mount", "bash", "-c", script]
    with open(SOURCE, "rb") as program:
        sanitized = b"__asan_init" in program.read()
    if sanitized or subprocess.run(command[:4] + ["true"], capture_output=True).returncode != 0:
        print("SKIPPED: usage screen without /proc (a sanitizer build, or no user namespace)")
        return
    result = subprocess.run(command + [os.path.join(PROG, os.fsdecode(NAME))], cwd=WORK,
                            capture_output=True, timeout=60)
    head = usage(b"Hash Tool")
    equal("usage screen without /proc", (0, b"", head),
          (result.returncode, result.stderr, result.stdout[:len(head)]))


@case(native=False)
def deep_program_folder():
    """A program in a folder whose path is over 300 characters shows its own name on the usage
    screen and lists its own folder, not the one above it, for a bare target."""
    parent = os.path.join(ROOT, "p" * 100, "q" * 100)
    deep = os.path.join(parent, "r" * 100)
    os.makedirs(deep)
    program = os.path.join(deep, "Deep Tool.exe")
    shutil.copy2(SOURCE, program)
    own = put(deep, "x.torrent", *torrent("deep"))
    put(parent, "x.torrent", *torrent("parent"))
    code, out, err = run([], program=program)
    head = usage(b"Deep Tool.exe")
    equal("usage screen of a program in a deep folder", (0, b"", head), (code, err, out[:len(head)]))
    equal("bare target of a program in a deep folder", (0, own + EOL, b""),
          run(["x.torrent"], program=program))


def v2_folder():
    """A folder with a hybrid, a v2-only and a v1 torrent: its path and, for each file, its SHA-1
    and SHA-256 lines' fields and its magnet link."""
    folder = os.path.join(WORK, "v2")
    song = content("v2 song", 20000)
    tree = {"": {"length": len(song), "pieces root": hashlib.sha256(song).digest()}}
    v1 = {"length": len(song), "pieces": pieces(song, 16384)}
    infos = {"hybrid.torrent": dict(v1, **{"file tree": {"my song": tree}, "meta version": 2}),
             "v2only.torrent": {"file tree": {"my song": tree}, "meta version": 2},
             "v1.torrent": v1}
    files = {}
    for name, info in infos.items():
        info = bencode(dict(info, name="my song", **{"piece length": 16384}))
        sha1, sha256 = hashlib.sha1(info).hexdigest(), hashlib.sha256(info).hexdigest()
        link = ("magnet:?" + ("" if name == "v2only.torrent" else "xt=urn:btih:" + sha1 + "&")
                + ("" if name == "v1.torrent" else "xt=urn:btmh:1220" + sha256 + "&")
                + "dn=my%20song&tr=http%3a%2f%2ft.invalid%2fa%20b")
        put(folder, name, *wrap(info, {"announce": " http://t.invalid/a b"}))
        files[name] = (sha1.upper().encode(), NO_V2 if name == "v1.torrent"
                       else sha256.upper().encode(), link.encode())
    return folder, files


@case()
def options_in_any_order_before_the_first_target():
    """-hash, -v2 and -magnet in any order and letter case; -magnet wins over -v2."""
    folder, files = v2_folder()
    targets = [native(folder + "/" + name) for name in files]
    for options in [["-v2"], ["-V2"], ["-hash", "-v2"], ["-v2", "-HASH"]]:
        expect(options + targets, [v2 + (b"" if len(options) > 1 else b"  " + os.fsencode(name))
                                   for name, (_, v2, _) in files.items()])
    for options in [["-magnet"], ["-v2", "-MAGNET"], ["-Magnet", "-hash", "-v2"],
                    ["-hash", "-magnet"]]:
        expect(options + targets, [link for _, _, link in files.values()])
    expect(["-v2", "-magnet", "-hash"], b"")


@case()
def v2_and_magnet_error_lines():
    """A file without a v2 identity gets a line of its own with -v2; the other error lines are as
    without options, and so are the lines of a run without them."""
    folder, files = v2_folder()
    v2_root = bencode({"info": {"meta version": 2, "file tree": {}, "name": "x"}})
    string_2 = bencode({"meta version": "2"})
    blank, parsing = b"Error - Blank file!", b"Error parsing file!"
    odd = {  # name: its bytes and its fields without options, with -v2, with -magnet
        "blank.torrent": (b"", blank, blank, blank),
        "cut.torrent": (v2_root[:-3], IN_FILE, IN_FILE, IN_FILE),
        "text.torrent": (b"text\r\n", IN_FILE, IN_FILE, IN_FILE),
        "nested.torrent": (b"d1:xd4:infod1:ai1eeee", parsing, parsing, parsing),
        "string 2.torrent": (wrap(string_2)[0], digest(string_2).encode(), NO_V2,
                             b"magnet:?xt=urn:btih:" + digest(string_2).lower().encode())}
    for name, (data, *_) in odd.items():
        put(folder, name, data, b"")
    mask = native(folder + "/*.torrent")
    for k, options in enumerate([[], ["-v2"], ["-magnet"]]):
        expect(options + [mask],
               [with_name(fields[k], name) for name, (_, *fields) in odd.items()]
               + [with_name(fields[k], name) for name, fields in files.items()],
               as_set=True)


@case()
def usage_screen():
    renamed = os.path.join(ROOT, "Hash Tool.EXE" if WINDOWS else "Hash Tool")
    shutil.copy2(SOURCE, renamed)
    for program, name in [(renamed, os.fsencode(os.path.basename(renamed))), (None, NAME)]:
        code, out, err = run([], program=program)
        head = usage(name)
        equal(f"usage screen of {name}, its fifth line one line of text", (0, b"", head, True),
              (code, err, out[:len(head)],
               bool(re.fullmatch(rb"[^\r\n]+" + re.escape(EOL), out[len(head):]))))
        fatal([], FULL, program, name)


@case()
def help_tokens_show_the_usage_screen_whatever_follows():
    screen = run([])[1]
    for token in ["?", "/?", "-?", "-h", "--help", "help", "-help", "HELP", "-Help", "--HELP"]:
        expect([token, "x.torrent", "-hash"], screen)
        expect([token, "-V2", "-magnet", "-hash"], screen)


@case()
def hash_option():
    expect(["-H", "/h", "x.torrent"], lines(["-H", "x.torrent"]),  # near misses are targets
           err=b"" if WINDOWS else notice("/h", NOT_FOUND))
    expect(["-hash"], b"")
    expect(["-HaSh"] + forms(), lines(forms(), True))
    # Windows matches "-h" to the file "-H"; natively a name is exact.
    expect(["-hash", "-hash", "-h"], lines(["-hash", "-H"] if WINDOWS else ["-hash"], True),
           err=b"" if WINDOWS else notice("-h", NOT_FOUND))


@case()
def one_line_for_each_file():
    """Every file once per target naming it, in argument order, also in a long argument list."""
    names = forms() * (30 if WINDOWS else 3000)
    expect(names + ["missing.torrent", "sub"], lines(names),
           err=b"" if WINDOWS else notice("missing.torrent", NOT_FOUND)
           + notice("sub", b"Is a directory"))


@case()
def bare_targets():
    prog_x, work_x = lines(["x.torrent"])[0], put(WORK, "x.torrent", *torrent(WORK))
    targets = ["x.torrent", "-hash", ".\\x.torrent", "./x.torrent", native(PROG + "/x.torrent"),
               "X.TORRENT"]
    if WINDOWS:  # a bare target means the program's folder; "\" separates too; case is ignored
        expect(targets, [prog_x, lines(["-hash"])[0], work_x, work_x, prog_x, prog_x], cwd=WORK)
    else:  # a bare target means the current folder; ".\x.torrent" is one name; case counts
        expect(targets + ["*.torrent"], [work_x, work_x, prog_x, work_x], cwd=WORK,
               err=b"".join(notice(t, NOT_FOUND) for t in ["-hash", ".\\x.torrent", "X.TORRENT"]))


@case()
def empty_target_lists_every_file_of_the_folder():
    expect([""], lines(FIELDS), as_set=True)
    expect(["-hash", ""], lines(FIELDS, True), as_set=True)


@case()
def samples_are_what_their_script_makes():
    samples = os.path.normpath(os.path.join(HERE, "..", "..", "samples"))
    made = subprocess.run([sys.executable, os.path.join(samples, "make_samples.py"), ROOT],
                          stdout=subprocess.PIPE, check=True).stdout
    names = [name for name in os.listdir(samples) if name.endswith(".torrent")]
    equal("samples against their script", (names, [], []),
          filecmp.cmpfiles(ROOT, samples, names, shallow=False))
    expect([native(samples + "/*.torrent")], made.splitlines(), as_set=True)


@case()
def full_device():
    fatal(forms(), FULL)  # amid report lines
    equal("nothing to write to a full device", (0, b"", b""), run(["-hash"], FULL))


@case()
def closed_pipe():
    """A short output fails as the program ends, a long one when its buffer first fills.
    Natively the inherited SIGPIPE ends the program as it ends cat, without a word; where the
    parent ignores SIGPIPE, the failed write gives the diagnostic."""
    for args in [["x.torrent"], forms() * 3]:
        read_end, write_end = os.pipe()
        os.close(read_end)
        if not WINDOWS:
            code, _, err = run(args, write_end)
            equal(f"{args} into a closed pipe: killed by SIGPIPE, no diagnostic",
                  (-signal.SIGPIPE, b""), (code, err))
        fatal(args, write_end, restore_signals=WINDOWS)
        os.close(write_end)


@case(windows=False)
def non_blocking_stdout_waits():
    names = forms() * 400  # well over what a pipe holds
    read_end, write_end = os.pipe()
    os.set_blocking(write_end, False)
    with tempfile.TemporaryFile() as err:
        process = subprocess.Popen([os.path.join(PROG, os.fsdecode(NAME))] + names, cwd=START,
                                   stdin=subprocess.DEVNULL, stdout=write_end, stderr=err)
        os.close(write_end)
        time.sleep(0.5)  # the pipe fills up meanwhile
        with os.fdopen(read_end, "rb") as reader:
            out = reader.read()
        code = process.wait(timeout=120)
        err.seek(0)
        equal("exit code, stderr and output through a non-blocking pipe",
              (0, b"", b"".join(line + EOL for line in lines(names))), (code, err.read(), out))


@case(windows=False)
def notices_for_targets_that_yield_nothing():
    os.symlink("loop", os.path.join(WORK, "loop"))
    os.makedirs(os.path.join(WORK, "empty"), exist_ok=True)
    targets = [("./x-missing.torrent", NOT_FOUND), ("sub", b"Is a directory"),
               ("*.none", b"no matching file"), (WORK + "/empty/", b"no matching file"),
               ("sub*", b"no matching file"), ("no*/x.torrent", b"wildcard in the folder part"),
               ("no?/*.torrent", b"wildcard in the folder part"), ("missing/*", NOT_FOUND),
               ("x.torrent/*", b"Not a directory"),
               (WORK + "/loop/*", b"Too many levels of symbolic links"),
               ("a\nb\x01.torrent", NOT_FOUND)]
    if os.geteuid() != 0:  # the superuser reads every folder
        os.makedirs(os.path.join(WORK, "locked"), mode=0)
        targets.append((WORK + "/locked/*", b"Permission denied"))
    for target, reason in targets:
        expect([target], b"", err=notice(target, reason))
    # Standard output and the exit code stay as they are; a notice follows the lines before it.
    args = ["x.torrent"] + [target for target, _ in targets] + ["x.torrent"]
    notices = b"".join(notice(target, reason) for target, reason in targets)
    expect(args, lines(["x.torrent"]) * 2, err=notices)
    line = lines(["x.torrent"])[0] + EOL
    equal("notices among the lines on one stream", (0, line + notices + line, b""),
          run(args, merged=True))


# Names that hold every byte Windows forbids, line feed and control bytes, invalid UTF-8 and a
# pair that differs only in letter case; and a folder whose name holds such bytes too.
ODD_FOLDER = b"d\n?*\\:\x01\xff"
ODD_NAMES = [b"a\nb", b"a?b", b"a\\b", b"a*b", b"a:b", b"A?B", b"evil:good.torrent",
             b"Twin.torrent", b"twin.torrent", b"\x01\x7f\xff.torrent"]


def odd_files():
    """Makes the folder of odd names once: (its parent, the folder, each name's line)."""
    parent = os.path.join(os.fsencode(ROOT), b"odd")
    folder = os.path.join(parent, ODD_FOLDER)
    if not os.path.isdir(folder):
        os.makedirs(os.path.join(folder, b"a\nc.torrent"))  # a folder, passed over
    return parent, folder, {name: put(folder, name, *torrent(name)) for name in ODD_NAMES}


@case(windows=False)
def odd_names_selected_by_masks():
    parent, folder, line = odd_files()
    pick = lambda *names: [line[name] for name in names]  # noqa: E731
    expect([b"*"], list(line.values()), as_set=True, cwd=folder)
    expect([ODD_FOLDER + b"/*"], list(line.values()), as_set=True, cwd=parent)
    # "?" is one byte, whichever; letter case is ignored; ":" and "\" are bytes like any other.
    expect([b"A?B"], pick(*[n for n in ODD_NAMES if len(n) == 3]), as_set=True, cwd=folder)
    expect([b"*:*"], pick(b"a:b", b"evil:good.torrent"), as_set=True, cwd=folder)
    expect([b"*\\*"], pick(b"a\\b"), cwd=folder)
    expect([b"*.TORRENT"], pick(*[n for n in ODD_NAMES if n.endswith(b".torrent")]),
           as_set=True, cwd=folder)


@case(windows=False)
def odd_names_given_one_by_one():
    """As the shell hands on an expanded list: each name is that one file, in argument order."""
    parent, folder, line = odd_files()
    plain = [name for name in ODD_NAMES if b"*" not in name and b"?" not in name]
    for prefix, cwd in [(b"", folder), (b"./", folder), (ODD_FOLDER + b"/", parent)]:
        expect([prefix + name for name in plain], [line[name] for name in plain], cwd=cwd)
    expect([b"twin.torrent", b"TWIN.torrent"], [line[b"twin.torrent"]], cwd=folder,
           err=notice("TWIN.torrent", NOT_FOUND))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program")
    parser.add_argument("--emulator", nargs="*", default=[])
    parser.add_argument("-k", dest="names", action="append", default=[])
    parser.add_argument("--list", action="store_true")
    options = parser.parse_args()
    chosen = [name for name, (_, on_windows, on_native) in CASES.items()
              if (on_windows if options.emulator else on_native)
              and (not options.names or any(n in name for n in options.names))]
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
