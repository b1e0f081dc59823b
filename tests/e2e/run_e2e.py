#!/usr/bin/env python3
"""End-to-end tests of kelvane: the built program, run as a user runs it.

Usage: run_e2e.py <path to kelvane> [--emulator COMMAND]

Each run starts a copy of the program that lies in a folder of its own next to
the metainfo files, because a target without a directory means the program's
folder; the current directory is another folder. Standard output is compared
byte for byte; where one target yields several files, whose order is the file
system's, the set of lines is compared. With --emulator (the Windows build
under Wine) every launch is dear, so related checks share one launch.
"""

import argparse
import importlib.util
import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile
import tty
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from metainfo import (EMPTY_DIGEST, bencode, content, digest, metainfo,  # noqa: E402
                      multi_file_info, single_file_info)

BLANK = b"Error - Blank file!"
PARSING = b"Error parsing file!"
NOT_EXISTS = b"Error - File not Exists: "
IN_FILE = b"Error in file "
HELP_TOKENS = ["?", "/?", "-?", "-h", "--help", "help", "-help", "HELP", "-Help", "--HELP"]
DIAGNOSTIC = re.compile(rb"\AException (\w+) in module ([^\r\n]+) at ([0-9A-Fa-fx]+)\.\r\n"
                        rb"([^\r\n]*)\r\n\r\n\Z")

ARGS = None  # the command line of this script, set in main()


class Result:
    def __init__(self, code, out, err):
        self.code, self.out, self.err = code, out, err

    def lines(self):
        """Standard output cut at CR LF; every line must be ended by one."""
        if not self.out:
            return []
        assert self.out.endswith(b"\r\n"), f"output does not end with CR LF: {self.out[-20:]!r}"
        return self.out[:-2].split(b"\r\n")


class Program:
    """The program under test, installed as a copy in a folder of the test's."""

    def __init__(self, source, emulator, name=None):
        self.source = source
        self.emulator = emulator
        self.windows = bool(emulator)
        self.name = name or (b"kelvane.exe" if self.windows else b"kelvane")
        self.path = None

    def install(self, folder):
        self.path = os.path.join(folder, os.fsdecode(self.name))
        shutil.copy2(self.source, self.path)

    def run(self, args, cwd, stdout=None):
        """Runs with the given arguments; stdout may be an open file descriptor."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            proc = subprocess.run(self.emulator + [self.path] + list(args), cwd=cwd,
                                  stdin=subprocess.DEVNULL,
                                  stdout=out if stdout is None else stdout,
                                  stderr=err, timeout=120)
            out.seek(0)
            err.seek(0)
            return Result(proc.returncode, out.read(), err.read())


class Folder:
    """Files of one folder and the report line each one should give."""

    def __init__(self, path):
        self.path = path
        self.fields = {}  # file name (bytes) -> digest or message
        os.makedirs(path, exist_ok=True)

    def add(self, name, data, field):
        name = os.fsencode(name)
        with open(os.path.join(os.fsencode(self.path), name), "wb") as f:
            f.write(data)
        self.fields[name] = field
        return name

    def torrent(self, name, info=None):
        """A well-formed single-file metainfo file of content unlike any other's."""
        seed = os.fsencode(os.path.join(self.path, os.fsdecode(name)))
        info = info or single_file_info(os.fsencode(name), content(seed, 40000))
        data, field = metainfo(info, before={"announce": "http://tracker.invalid/a"})
        return self.add(name, data, field)

    def line(self, name, hash_only=False):
        name = os.fsencode(name)
        return self.fields[name] + (b"" if hash_only else b"  " + name)

    def all_lines(self, hash_only=False):
        return sorted(self.line(n, hash_only) for n in self.fields)


def setUpModule():
    global ROOT, PROGRAM, PROG, WORK, MASKS, INNER, SEP_LINE, SEP_HASH
    ROOT = tempfile.mkdtemp(prefix="kelvane-e2e-")
    unittest.addModuleCleanup(shutil.rmtree, ROOT, ignore_errors=True)
    PROGRAM = Program(ARGS.program, ARGS.emulator)
    PROG = Folder(os.path.join(ROOT, "prog"))
    WORK = Folder(os.path.join(ROOT, "work"))
    PROGRAM.install(PROG.path)
    PROG.fields[PROGRAM.name] = IN_FILE
    make_report_forms(PROG)
    PROG.torrent("sep.torrent")
    SEP_LINE, SEP_HASH = PROG.line("sep.torrent"), PROG.line("sep.torrent", True)
    PROG.torrent("x.torrent")
    WORK.torrent("x.torrent")
    PROG.torrent("-H")
    PROG.torrent("-hash")
    os.makedirs(os.path.join(PROG.path, "sub"))
    MASKS, INNER = make_mask_folder(os.path.join(WORK.path, "m"))
    if PROGRAM.windows:
        # The first start of Wine may set up its prefix and talk about it.
        PROGRAM.run(["-hash"], WORK.path)


def make_report_forms(folder):
    """One file for every kind of report line, in the program's folder."""
    single = single_file_info("song.flac", content("song", 70000), 32768)
    folder.add("single.torrent", *metainfo(
        single, before={"announce": "http://tracker.invalid/announce", "creation date": 1},
        after={"url-list": ["http://seed.invalid/"]}))
    # Bytes outside the info value, after the root included, do not count.
    folder.add("trailer.torrent", *metainfo(single, before={"comment": "other"},
                                            trailer=b"garbage after the root\r\n"))
    multi = multi_file_info("album", [(["01 intro.flac"], content("intro", 20000)),
                                      (["disc 2", "02 song.flac"], content("two", 50001)),
                                      (["cover.jpg"], b"")])
    folder.add("multi.torrent", *metainfo(multi, before={"created by": "e2e"}))
    # Keys out of order inside info: the raw bytes count, not a re-encoding.
    folder.add("reordered.torrent", *metainfo(b"d6:lengthi5e4:name1:x12:piece lengthi16e"
                                              b"6:pieces20:" + bytes(20) + b"e"))
    folder.add("tiny.torrent", b"d4:infoi1ee", digest(b"i1e"))
    folder.add("cut.torrent", b"d4:info", EMPTY_DIGEST)
    folder.add("ownlength.torrent", b"d4:infoi1e12:_info_length1:xe", EMPTY_DIGEST)
    folder.add("blank.torrent", b"", BLANK)
    folder.add("noinfo.torrent", bencode({"announce": "x", "information": {"a": 1}}), PARSING)
    folder.add("nested.torrent", b"d3:food4:infod1:ai1eeee", PARSING)
    folder.add("cutkey.torrent", b"d4:inf", PARSING)
    folder.add("rootlist.torrent", b"l4:infod1:ai1eee", IN_FILE)
    folder.add("rootint.torrent", b"i42e", IN_FILE)
    folder.add("rootstr.torrent", b"4:info", IN_FILE)
    folder.add("readme.txt", b"hello, this is text\r\n", IN_FILE)
    folder.add("bom.torrent", b"\xef\xbb\xbfd4:infoi1ee", IN_FILE)
    folder.add("badkey.torrent", b"di1e4:infoe", IN_FILE)
    folder.add("ownstart.torrent", b"d4:infoi1e11:_info_startlee", IN_FILE)


FORMS = ["single.torrent", "trailer.torrent", "multi.torrent", "reordered.torrent",
         "tiny.torrent", "cut.torrent", "ownlength.torrent", "blank.torrent", "noinfo.torrent",
         "nested.torrent", "cutkey.torrent", "rootlist.torrent", "rootint.torrent",
         "rootstr.torrent", "readme.txt", "bom.torrent", "badkey.torrent", "ownstart.torrent"]


def make_mask_folder(path):
    masks = Folder(path)
    for name in ["a.torrent", "b.TORRENT", "n.torrent", "noext", "x.tor", "ab.torrents",
                 "^x.torrent", ".hidden"]:
        masks.torrent(name)
    inner = Folder(os.path.join(path, "inner"))
    inner.torrent("deep.torrent")
    return masks, inner


class TestCase(unittest.TestCase):
    def run_ok(self, args, cwd=None):
        """A run that must end normally: exit code 0 and nothing on stderr."""
        result = PROGRAM.run(args, cwd or WORK.path)
        self.assertEqual(result.code, 0, f"exit code of {args}")
        self.assertEqual(result.err, b"", f"standard error of {args}")
        return result

    def assertOutput(self, args, lines, cwd=None):
        expected = b"".join(line + b"\r\n" for line in lines)
        self.assertEqual(self.run_ok(args, cwd).out, expected, f"output of {args}")

    def run_targets(self, targets, hash_only=False):
        """Runs all targets in one launch and gives the lines of each.

        A marker file is named after every target; since targets are taken in
        order, its line ends each target's share of the output.
        """
        marker = SEP_HASH if hash_only else SEP_LINE
        args = ["-hash"] if hash_only else []
        for target in targets:
            args += [target, "sep.torrent"]
        lines = self.run_ok(args).lines()
        groups, current = [], []
        for line in lines:
            if line == marker:
                groups.append(current)
                current = []
            else:
                current.append(line)
        self.assertEqual(current, [], "lines after the last marker")
        self.assertEqual(len(groups), len(targets), "one marker line per target")
        return dict(zip(targets, groups))


class UsageScreen(TestCase):
    def assertUsage(self, out, name=None):
        head = (b"Usage:\n\r\n" + (name or PROGRAM.name) + b" -hash File1 File2 FileN \r\n"
                b"Use [-hash] key to display only hash-sums\r\n\r\n")
        self.assertEqual(out[:len(head)], head)
        last = out[len(head):]
        self.assertTrue(last.endswith(b"\r\n"), last)
        self.assertNotEqual(last[:-2], b"", "the fifth line is empty")
        self.assertNotIn(b"\r", last[:-2])
        self.assertNotIn(b"\n", last[:-2])

    def test_no_arguments_show_the_usage_screen(self):
        self.assertUsage(self.run_ok([]).out)

    def test_program_name_is_the_file_name_it_has(self):
        renamed = Program(PROGRAM.source, PROGRAM.emulator,
                          b"Hash Tool.EXE" if PROGRAM.windows else b"Hash Tool")
        renamed.install(tempfile.mkdtemp(dir=ROOT))
        result = renamed.run([], WORK.path)
        self.assertEqual((result.code, result.err), (0, b""))
        self.assertUsage(result.out, renamed.name)
        with open("/dev/full", "wb") as full:
            result = renamed.run([], WORK.path, stdout=full.fileno())
        match = DIAGNOSTIC.match(result.err)
        self.assertIsNotNone(match, result.err)
        self.assertEqual(match.group(2), renamed.name, "module in the diagnostic")

    def test_help_tokens_in_first_place_show_it_and_ignore_the_rest(self):
        usage = self.run_ok([]).out
        for token in HELP_TOKENS:
            with self.subTest(token=token):
                self.assertEqual(self.run_ok([token, "x.torrent", "-hash"]).out, usage)

    def test_near_misses_are_targets(self):
        # '-H' names the program folder's file of that name; '/h' a file at the root.
        self.assertOutput(["-H", "x.torrent"], [PROG.line("-H"), PROG.line("x.torrent")])
        self.assertOutput(["/h", "x.torrent"], [PROG.line("x.torrent")])


class HashOption(TestCase):
    def test_alone_writes_nothing(self):
        for option in ["-hash", "-HASH"]:
            with self.subTest(option=option):
                self.assertOutput([option], [])

    def test_first_place_drops_the_names(self):
        self.assertOutput(["-HaSh"] + FORMS, [PROG.line(n, True) for n in FORMS])

    def test_later_place_is_a_target(self):
        self.assertOutput(["x.torrent", "-hash"], [PROG.line("x.torrent"), PROG.line("-hash")])
        self.assertOutput(["-hash", "-hash", "-h"], [PROG.line("-hash", True),
                                                     PROG.line("-H", True)])


class ReportLines(TestCase):
    def test_every_line_form(self):
        self.assertOutput(FORMS + ["missing.torrent", "sub"], [PROG.line(n) for n in FORMS])

    def test_every_file_failing_still_exits_zero(self):
        failing = [n for n in FORMS if PROG.fields[n.encode()] in (BLANK, PARSING, IN_FILE)]
        self.assertOutput(failing, [PROG.line(n) for n in failing])

    def test_empty_argument_means_every_file_of_the_program_folder(self):
        self.assertEqual(sorted(self.run_ok([""]).lines()), PROG.all_lines())
        self.assertEqual(sorted(self.run_ok(["-hash", ""]).lines()), PROG.all_lines(True))


class Targets(TestCase):
    def test_bare_names_mean_the_program_folder(self):
        prog_x, work_x = PROG.line("x.torrent"), WORK.line("x.torrent")
        self.assertNotEqual(prog_x, work_x)
        absolute = os.path.join(PROG.path, "x.torrent")
        if PROGRAM.windows:
            absolute = "Z:" + absolute.replace("/", "\\")
        self.assertOutput(["x.torrent", ".\\x.torrent", "./x.torrent", absolute, "X.TORRENT"],
                          [prog_x, work_x, work_x, prog_x, prog_x])

    def test_masks(self):
        m = MASKS
        every = m.all_lines()
        torrents = sorted(m.line(n) for n in ["a.torrent", "b.TORRENT", "n.torrent", "^x.torrent"])
        cases = {
            "m\\*.torrent": torrents,
            "m\\*.TORRENT": torrents,
            "m\\?.torrent": sorted(m.line(n) for n in ["a.torrent", "b.TORRENT", "n.torrent"]),
            "m\\*.tor": [m.line("x.tor")],
            "m\\n*.*": [m.line("n.torrent")],
            "m\\*": every, "m\\*.*": every, "m\\": every, "m/": every,
            "m\\^*.torrent": [], "m\\^*": [],
            "m\\^X.TORRENT": [m.line("^x.torrent")],
            "m\\A.TORRENT": [m.line("a.torrent")],
            "m\\noext": [m.line("noext")],
            "m\\inner": [], "m\\missing": [], ".\\m": [], "m*\\a.torrent": [], "nowhere\\*": [],
            "m\\inner/\\deep.torrent": [INNER.line("deep.torrent")],
        }
        got = self.run_targets(list(cases))
        for target, lines in cases.items():
            with self.subTest(target=target):
                self.assertEqual(sorted(got[target]), lines)

    def test_same_target_twice_gives_its_files_twice(self):
        line = PROG.line("tiny.torrent")
        self.assertOutput(["tiny.torrent", "tiny.torrent", "t*y.torrent"], [line, line, line])

    def test_quoted_argument_with_spaces(self):
        folder = Folder(os.path.join(WORK.path, "my dir"))
        folder.torrent("my file.torrent")
        self.assertOutput(["my dir\\my file.torrent", "my dir/*"],
                          [folder.line("my file.torrent")] * 2)


class VanishedFiles(TestCase):
    def test_listed_names_that_do_not_open(self):
        if PROGRAM.windows:
            self.skipTest("Wine does not list a dangling link")
        # A dangling link is listed but is no file. With a plain name it is
        # passed over; with a "?" the program looks for a short name, finds the
        # entry without one, and so reports the folder as a file not there.
        folder = Folder(os.path.join(WORK.path, "links"))
        folder.torrent("ok.torrent")
        for name in ["gone.torrent", "gone?.torrent"]:
            os.symlink("nowhere", os.path.join(folder.path, name))
        for hash_only in [False, True]:
            missing = NOT_EXISTS + (b"" if hash_only else b"  gone?.torrent")
            args = ["-hash"] * hash_only + ["links\\*"]
            self.assertEqual(sorted(self.run_ok(args).lines()),
                             sorted([folder.line("ok.torrent", hash_only), missing]))


class NonAsciiNames(TestCase):
    def test_names_are_shown_in_the_8_bit_code_page(self):
        folder = Folder(os.path.join(WORK.path, "names"))
        if not PROGRAM.windows:
            # Bytes of a name go to the line unchanged, whatever they are.
            folder.torrent(b"\xe9t\xe9 \xc3\xa9.torrent")
            self.assertEqual(self.run_ok(["names\\*"]).lines(), folder.all_lines())
            return
        # Under code page 1252 "é" has a byte of its own; a character without one
        # comes back as "?", and the file is still read, through its short name.
        folder.torrent("café.torrent")
        folder.torrent("中文.torrent")
        expected = sorted([folder.fields["café.torrent".encode()] + b"  caf\xe9.torrent",
                           folder.fields["中文.torrent".encode()] + b"  ??.torrent"])
        self.assertEqual(sorted(self.run_ok(["names\\*"]).lines()), expected)


class Samples(TestCase):
    def test_committed_samples_are_made_by_the_script_and_read_right(self):
        folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples")
        spec = importlib.util.spec_from_file_location("make_samples",
                                                      os.path.join(folder, "make-samples.py"))
        make_samples = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(make_samples)
        expected = []
        for name, (data, field) in make_samples.build().items():
            with open(os.path.join(folder, name), "rb") as f:
                self.assertEqual(f.read(), data, f"samples/{name} is not what the script makes")
            expected.append(f"{field}  {name}".encode())
        target = os.path.join(os.path.abspath(folder), "*.torrent")
        if PROGRAM.windows:
            target = "Z:" + target.replace("/", "\\")
        self.assertEqual(sorted(self.run_ok([target]).lines()), sorted(expected))


class Console(TestCase):
    def test_terminal_gets_the_same_bytes(self):
        if PROGRAM.windows:
            self.skipTest("the emulator's console rewrites what it shows")
        # A terminal is handed each line as it ends, a file gets 128-byte
        # blocks; the bytes must be the same. Raw mode keeps the terminal from
        # rewriting line ends. The output stays below the terminal's buffer.
        for args in [[], FORMS]:
            master, slave = pty.openpty()
            tty.setraw(slave)
            try:
                result = PROGRAM.run(args, WORK.path, stdout=slave)
            finally:
                os.close(slave)
            shown = b""
            try:
                while chunk := os.read(master, 65536):
                    shown += chunk
            except OSError:  # the terminal reports its end as an error
                pass
            os.close(master)
            self.assertEqual((result.code, result.err), (0, b""))
            self.assertEqual(shown, self.run_ok(args).out, f"terminal output of {args}")


class BrokenOutput(TestCase):
    def assertFatal(self, args, stdout):
        result = PROGRAM.run(args, WORK.path, stdout=stdout)
        self.assertEqual(result.code, 1, f"exit code of {args} (negative: killed by a signal)")
        match = DIAGNOSTIC.match(result.err)
        self.assertIsNotNone(match, f"diagnostic of {args}: {result.err!r}")
        class_name, module, _, message = match.groups()
        self.assertEqual(class_name, b"EInOutError")
        self.assertEqual(module, PROGRAM.name)
        self.assertTrue(message.endswith(b"."), message)

    def test_full_device(self):
        with open("/dev/full", "wb") as full:
            # A character device: every line is handed on as it ends, so the
            # first one fails, in the usage screen or amid the report lines.
            self.assertFatal([], full.fileno())
            self.assertFatal(FORMS, full.fileno())
            result = PROGRAM.run(["-hash"], WORK.path, stdout=full.fileno())
            self.assertEqual((result.code, result.err), (0, b""), "nothing to write")

    def test_pipe_without_reader(self):
        # Not a character device: one short line fails when the program ends
        # and hands on its buffer, many lines fail when the buffer first fills.
        for args in [["x.torrent"], FORMS * 3]:
            read_end, write_end = os.pipe()
            os.close(read_end)
            try:
                self.assertFatal(args, write_end)
            finally:
                os.close(write_end)


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program", help="path of the built kelvane executable")
    parser.add_argument("--emulator", nargs="+", default=[],
                        help="command that runs the program (the Windows build under Wine)")
    ARGS, rest = parser.parse_known_args()
    ARGS.program = os.path.abspath(ARGS.program)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
