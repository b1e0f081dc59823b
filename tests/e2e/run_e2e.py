#!/usr/bin/env python3
"""End-to-end tests of kelvane, run as a user runs it.

    run_e2e.py PROGRAM [--emulator COMMAND...] [-k NAME]... [--list]

With --emulator the program (the Windows build) runs under that command. Each case is one
function below; -k NAME runs the cases whose names hold NAME (the option may repeat), --list
names them all. The scratch folder and its files are made when the run starts and go at its end.

A copy of the program lies in the folder PROG beside most test files. Runs start in WORK on
Windows, where a bare target means the program's folder, and in PROG natively, where it means the
current folder: either way a bare target means PROG. Exit code, stderr and stdout are compared byte
for byte, stdout as a set of lines where a folder's files come in the file system's order.
"""

import argparse
import filecmp
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

NOT_EXISTS, IN_FILE = b"Error - File not Exists: ", b"Error in file "
CASES = {}  # name -> (function, runs for the Windows build, runs for the native build)

# Set by setup() when the run starts.
SOURCE, EMULATOR, WINDOWS, EOL, NAME = "", [], False, b"", b""
ROOT = PROG = WORK = START = ""
FULL = None  # /dev/full, a character device: the first write fails
FIELDS = {}  # file of PROG -> its line's first part, None for no line
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
    return [FIELDS[n] + (b"" if hash_only else b"  " + n)
            for n in map(os.fsencode, names) if FIELDS[n] is not None]


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
    if not WINDOWS:  # Wine does not list a dangling link
        # A link that leads nowhere is listed, and cannot be opened.
        for name, target in [("gone.torrent", "nowhere"), ("gone?.torrent", "nowhere"),
                             ("loop.torrent", "loop.torrent")]:
            os.symlink(target, os.path.join(PROG, name))
            FIELDS[os.fsencode(name)] = IN_FILE


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


@case()
def near_misses_of_options_are_targets():
    expect(["-H", "/h", "x.torrent"], lines(["-H", "x.torrent"]),
           err=b"" if WINDOWS else notice("/h", b"No such file or directory"))


@case()
def hash_option():
    expect(["-hash"], b"")
    expect(["-HaSh"] + forms(), lines(forms(), True))
    # Windows matches "-h" to the file "-H"; natively a name is exact.
    expect(["-hash", "-hash", "-h"], lines(["-hash", "-H"] if WINDOWS else ["-hash"], True),
           err=b"" if WINDOWS else notice("-h", b"No such file or directory"))


@case()
def one_line_for_each_file():
    failing = [n for n in forms() if len(FIELDS[os.fsencode(n)] or b"") != 40]
    expect(failing, lines(failing))
    expect(forms() + ["missing.torrent", "sub"], lines(forms()),
           err=b"" if WINDOWS else notice("missing.torrent", b"No such file or directory")
           + notice("sub", b"Is a directory"))


@case()
def bare_targets():
    prog_x, work_x = lines(["x.torrent"])[0], put(WORK, "x.torrent", *torrent(WORK))
    targets = ["x.torrent", "-hash", ".\\x.torrent", "./x.torrent", native(PROG + "/x.torrent"),
               "X.TORRENT"]
    if WINDOWS:  # a bare target means the program's folder; "\" separates too; case is ignored
        expect(targets, [prog_x, lines(["-hash"])[0], work_x, work_x, prog_x, prog_x], cwd=WORK)
    else:  # a bare target means the current folder; ".\x.torrent" is one name; case counts
        missing = b"No such file or directory"
        expect(targets + ["*.torrent"], [work_x, work_x, prog_x, work_x], cwd=WORK,
               err=b"".join(notice(t, missing) for t in ["-hash", ".\\x.torrent", "X.TORRENT"]))


@case()
def empty_target_lists_every_file_of_the_folder():
    expect([""], lines(FIELDS), as_set=True)
    expect(["-hash", ""], lines(FIELDS, True), as_set=True)


@case()
def spaced_names():
    spaced = os.path.join(WORK, "my dir")
    mine, other = put(spaced, "my file.torrent", *torrent("a")), put(spaced, "b c", *torrent("b"))
    separator = "\\" if WINDOWS else "/"
    expect(["my dir" + separator + "my file.torrent", "my dir/*"], [mine, mine, other],
           as_set=True, cwd=WORK)


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


@case()
def long_argument_list():
    names = forms() * (30 if WINDOWS else 3000)
    expect(names, lines(names))


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
    missing = b"No such file or directory"
    targets = [("./x-missing.torrent", missing), ("sub", b"Is a directory"),
               ("*.none", b"no matching file"), (WORK + "/empty/", b"no matching file"),
               ("sub*", b"no matching file"), ("no*/x.torrent", b"wildcard in the folder part"),
               ("no?/*.torrent", b"wildcard in the folder part"), ("missing/*", missing),
               ("x.torrent/*", b"Not a directory"),
               (WORK + "/loop/*", b"Too many levels of symbolic links"),
               ("a\nb\x01.torrent", missing)]
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


@case(windows=False)
def broken_links_give_the_error_line():
    expect(["gone.torrent", "./loop.torrent", "gone*"],
           lines(["gone.torrent", "loop.torrent", "gone.torrent", "gone?.torrent"]), as_set=True)


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
    expect(plain, [line[name] for name in plain], cwd=folder)
    expect([b"./" + name for name in plain], [line[name] for name in plain], cwd=folder)
    expect([ODD_FOLDER + b"/" + name for name in plain], [line[name] for name in plain],
           cwd=parent)
    expect([b"twin.torrent", b"TWIN.torrent"], [line[b"twin.torrent"]], cwd=folder,
           err=notice("TWIN.torrent", b"No such file or directory"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program")
    parser.add_argument("--emulator", nargs="*", default=[])
    parser.add_argument("-k", dest="names", action="append", default=[])
    parser.add_argument("--list", action="store_true")
    options = parser.parse_args()
    windows = bool(options.emulator)
    chosen = [name for name, (_, on_windows, on_native) in CASES.items()
              if (on_windows if windows else on_native)
              and (not options.names or any(n in name for n in options.names))]
    if options.list or not chosen:
        print("\n".join(chosen) if chosen else "no case matches", file=sys.stdout)
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
