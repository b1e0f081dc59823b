#!/usr/bin/env bash
# Times kelvane against what people use instead, on the same files in the same
# run, and prints a table with the ratios:
#   - one metainfo file whose `info` is over 200 MiB, against `openssl dgst
#     -sha1` over that same file (goal: kelvane at most 1.3 times OpenSSL);
#   - ten thousand small metainfo files in one folder, one kelvane run with a
#     mask against one `sha1sum` run over the same files (goal: at most 1.5x);
#   - the same folder through a `transmission-show` loop (a sample, scaled up)
#     and a Python loop over libtorrent's torrent_info;
#   - kelvane -v2 and -magnet over that folder, each against the plain run
#     (goal: at most 1.3 times), and the same three over the same files made
#     hybrid (a v2 file tree beside the v1 data), whose links need both
#     digests.
#
# Usage: bench/compare/run.sh
#   KELVANE=<path>           time this executable instead of building one
#   KELVANE_BENCH_BUILD=<d>  Release build folder (default: bench/out/build)
#   BENCH_RUNS=<n>           runs for the fast contenders (default 10)
#   BENCH_SMALL_COUNT=<n>    number of small files (default 10000)
# The table and the raw timings are also left in bench/out/compare/.
set -euo pipefail
# shellcheck source=../build.sh
. "$(dirname "$0")/../build.sh"

runs=${BENCH_RUNS:-10}
small_count=${BENCH_SMALL_COUNT:-10000}
sample_every=10 # transmission-show gets every tenth small file

bench_kelvane

py=python3
sys_py=/usr/bin/python3 # the interpreter that has libtorrent's binding
bench_workspace compare
mkdir -p "$work/json"
rm -f "$results"/*.json

echo "making the files in $work" >&2
"$py" - "$work" "$small_count" "$sample_every" "$repo/bench" <<'PY'
import hashlib, os, random, sys

work, count, every = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
sys.path.insert(0, sys.argv[4])
from small_torrents import bstr, hybrid_files, small_files

# One file: a single-file torrent whose "pieces" string makes `info` larger
# than 200 MiB (the content is never looked at, only hashed).
pieces_len = 210 * 1024 * 1024 // 20 * 20
info_head = (b"d" + bstr(b"length") + b"i" + str(pieces_len // 20 * 262144).encode() + b"e"
             + bstr(b"name") + bstr(b"huge.iso") + bstr(b"piece length") + b"i262144e"
             + bstr(b"pieces") + str(pieces_len).encode() + b":")
head = b"d" + bstr(b"announce") + bstr(b"http://tracker.invalid/announce") + bstr(b"info")
sha = hashlib.sha1(info_head)
block = os.urandom(1 << 20)
with open(os.path.join(work, "big.torrent"), "wb") as f:
    f.write(head + info_head)
    left = pieces_len
    while left:
        chunk = block[: min(left, len(block))]
        f.write(chunk)
        sha.update(chunk)
        left -= len(chunk)
    f.write(b"ee")
sha.update(b"e")
with open(os.path.join(work, "big.expected"), "w") as f:
    f.write(sha.hexdigest().upper())

# Ten thousand small ones, single- and multi-file, of varied size.
rnd = random.Random(42)
small_files(work, rnd, count)
small = os.path.join(work, "small")
sample = sorted(os.listdir(small))[::every]
with open(os.path.join(work, "sample.list"), "w") as f:
    f.write("".join(os.path.join(small, n) + "\n" for n in sample))

# The same files made hybrid, so that -v2 and -magnet hash both ways.
hybrid_files(work, rnd)
PY

# A benchmark that measures a wrong answer is worthless: check first.
got=$("$exe" -hash "$work/big.torrent")
if [[ $got != "$(cat "$work/big.expected")" ]]; then
  echo "kelvane gives $got for big.torrent, expected $(cat "$work/big.expected")" >&2
  exit 1
fi
lines=$("$exe" "$work/small/*.torrent" | grep -c '^[0-9A-F]\{40\}  t[0-9]*\.torrent$' || true)
if [[ $lines != "$small_count" ]]; then
  echo "kelvane printed $lines digest lines for $small_count small files" >&2
  exit 1
fi

# One line of the right form for every file, for each option and set.
for check in "-v2 small ^Error - No v2 info hash!" "-magnet small ^magnet:?xt=urn:btih:[0-9a-f]\{40\}&dn=" \
  "-v2 hybrid ^[0-9A-F]\{64\}" "-magnet hybrid ^magnet:?xt=urn:btih:[0-9a-f]\{40\}&xt=urn:btmh:1220[0-9a-f]\{64\}&dn="; do
  read -r option folder pattern <<<"$check"
  lines=$("$exe" "$option" "$work/$folder/*.torrent" | grep -c "$pattern.*  t[0-9]*\.torrent$" || true)
  if [[ $lines != "$small_count" ]]; then
    echo "kelvane $option printed $lines right lines for $small_count $folder files" >&2
    exit 1
  fi
done

# measure ID RUNS COMMAND: timings as hyperfine's JSON in $work/json/ID.json.
measure() {
  local id=$1 n=$2 cmd=$3
  echo "timing $id: $cmd" >&2
  if command -v hyperfine >/dev/null; then
    hyperfine --style none --warmup 1 --runs "$n" --export-json "$work/json/$id.json" \
      --command-name "$id" "$cmd" >/dev/null
  else
    "$py" - "$work/json/$id.json" "$n" "$cmd" <<'PY'
import json, resource, statistics, subprocess, sys, time
out, n, cmd = sys.argv[1], int(sys.argv[2]), sys.argv[3]
subprocess.run(cmd, shell=True, stdout=subprocess.DEVNULL, check=True)  # warm-up
times, cpu = [], []
for _ in range(n):
    r0 = resource.getrusage(resource.RUSAGE_CHILDREN)
    t = time.perf_counter()
    subprocess.run(cmd, shell=True, stdout=subprocess.DEVNULL, check=True)
    times.append(time.perf_counter() - t)
    r1 = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu.append((r1.ru_utime - r0.ru_utime, r1.ru_stime - r0.ru_stime))
json.dump({"results": [{"command": cmd, "median": statistics.median(times), "times": times,
                        "user": statistics.mean(u for u, _ in cpu),
                        "system": statistics.mean(s for _, s in cpu)}]}, open(out, "w"))
PY
  fi
}

cp /proc/loadavg "$work/load.before"
measure big_kelvane "$runs" "'$exe' '$work/big.torrent'"
measure big_openssl "$runs" "openssl dgst -sha1 '$work/big.torrent'"
measure big_sha1sum "$runs" "sha1sum '$work/big.torrent'"
measure small_kelvane "$runs" "'$exe' '$work/small/*.torrent'"
# The options against the plain run on the same set: the runs take turns, so
# that a change in the machine's load while they go reaches them alike.
echo "timing the plain run, -v2 and -magnet in turn over small/ and hybrid/" >&2
"$py" - "$work" "$runs" "$exe" <<'PY'
import json, os, resource, statistics, subprocess, sys, time
work, n, exe = sys.argv[1], int(sys.argv[2]), sys.argv[3]
cases = {f"{folder}_{name}": [exe, *options, os.path.join(work, folder, "*.torrent")]
         for folder in ("small", "hybrid")
         for name, options in (("plain", []), ("v2", ["-v2"]), ("magnet", ["-magnet"]))}
times = {case: [] for case in cases}
cpu = {case: [] for case in cases}
for turn in range(n + 1):  # the first turn warms up
    for case, command in cases.items():
        r0 = resource.getrusage(resource.RUSAGE_CHILDREN)
        t = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
        elapsed = time.perf_counter() - t
        r1 = resource.getrusage(resource.RUSAGE_CHILDREN)
        if turn:
            times[case].append(elapsed)
            cpu[case].append((r1.ru_utime - r0.ru_utime, r1.ru_stime - r0.ru_stime))
for case in cases:
    with open(os.path.join(work, "json", f"option_{case}.json"), "w") as f:
        json.dump({"results": [{"command": " ".join(cases[case]),
                                "median": statistics.median(times[case]), "times": times[case],
                                "user": statistics.mean(u for u, _ in cpu[case]),
                                "system": statistics.mean(s for _, s in cpu[case])}]}, f)
PY
measure small_sha1sum "$runs" "sha1sum '$work/small/'*.torrent"
if command -v transmission-show >/dev/null; then
  measure small_transmission 3 "xargs -d '\n' -n 1 transmission-show < '$work/sample.list'"
else
  echo "SKIPPED: transmission-show not found" >&2
fi
if "$sys_py" -c 'import libtorrent' 2>/dev/null; then
  measure small_libtorrent 5 "$sys_py -c 'import glob, sys, libtorrent as lt
for f in glob.glob(sys.argv[1]): lt.torrent_info(f).info_hashes().v1' '$work/small/*.torrent'"
else
  echo "SKIPPED: libtorrent not importable by $sys_py" >&2
fi

"$py" - "$work" "$small_count" "$sample_every" "$exe" <<'PY' | tee "$results/table.txt"
import json, os, platform, subprocess, sys

work, count, every, exe = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]

def timing(case):
    """Median wall-clock seconds and mean CPU seconds (user + system)."""
    path = os.path.join(work, "json", case + ".json")
    if not os.path.exists(path):
        return None
    r = json.load(open(path))["results"][0]
    return r["median"], r["user"] + r["system"]

def cpu():
    for line in open("/proc/cpuinfo"):
        if line.startswith("model name"):
            return line.split(":", 1)[1].strip()
    return platform.processor() or "unknown"

def mem_gib():
    for line in open("/proc/meminfo"):
        if line.startswith("MemTotal"):
            return int(line.split()[1]) / 1024 / 1024
    return 0

flags = open("/proc/cpuinfo").read()
sha_ext = "yes" if " sha_ni" in flags else "no"
big = os.path.getsize(os.path.join(work, "big.torrent"))
small_bytes = sum(e.stat().st_size for e in os.scandir(os.path.join(work, "small")))
sampled = len(open(os.path.join(work, "sample.list")).read().split())
openssl = subprocess.run(["openssl", "version"], capture_output=True, text=True).stdout.strip()

print(f"machine: {cpu()}, {os.cpu_count()} cores, {mem_gib():.1f} GiB memory, "
      f"SHA extensions: {sha_ext}; {platform.system()} {platform.release()}; {openssl}")
print(f"kelvane: {exe}")
before = float(open(os.path.join(work, "load.before")).read().split()[0])
after = os.getloadavg()[0]
print(f"load average (1 min, this script included): {before:.2f} before timing, {after:.2f} after")
# Single-process runs take as much CPU as wall clock on an idle machine; much
# more wall clock means they waited for a core that other work held.
waited = [k for k in ("big_kelvane", "big_openssl", "small_kelvane", "small_sha1sum")
          if timing(k) and timing(k)[0] > 1.15 * timing(k)[1]]
if waited:
    print(f"warning: {', '.join(waited)} waited for the CPU (wall clock well above CPU time): "
          "other work competed for the cores, so the wall-clock figures are noisy")
print(f"large: one metainfo file of {big / 2**20:.1f} MiB (`info` > 200 MiB)")
print(f"small: {count} metainfo files, {small_bytes / 2**20:.1f} MiB in all "
      f"(mean {small_bytes / count / 1024:.1f} KiB)")
print()

rows = [
    # case, contender, label, kelvane case, scale, goal, note
    ("large", "big_kelvane", "kelvane FILE", "big_kelvane", 1, None, ""),
    ("large", "big_openssl", "openssl dgst -sha1 FILE", "big_kelvane", 1, 1.3, ""),
    ("large", "big_sha1sum", "sha1sum FILE", "big_kelvane", 1, None, ""),
    ("small", "small_kelvane", "kelvane 'dir/*.torrent'", "small_kelvane", 1, None, "one run"),
    ("small", "small_sha1sum", "sha1sum dir/*.torrent", "small_kelvane", 1, 1.5, "one run"),
    ("small", "small_transmission", "transmission-show loop", "small_kelvane", count / sampled,
     None, f"{sampled} of {count} files timed, scaled x{count / sampled:g}"),
    ("small", "small_libtorrent", "python loop over lt.torrent_info", "small_kelvane", 1, None,
     "one interpreter"),
]
head = (f"{'case':<6} {'contender':<34} {'wall s':>9} {'kelvane/this':>13} {'cpu s':>9} "
        f"{'kelvane/this':>13} {'goal':>14}  note")
print(f"{'':42}{'median wall clock':^23} {'mean CPU (user+system)':^23}")
print(head)
print("-" * len(head))
for case, key, label, ref, scale, goal, note in rows:
    t = timing(key)
    if t is None:
        print(f"{case:<6} {label:<34} {'skipped':>9}")
        continue
    wall, cpu_s = t[0] * scale, t[1] * scale
    ref_wall, ref_cpu = timing(ref)
    ratio = ref_wall / wall
    verdict = ""
    if goal is not None:
        verdict = f"<={goal}x " + ("met" if ratio <= goal else "MISSED")
    print(f"{case:<6} {label:<34} {wall:>9.4f} {ratio:>12.3f}x {cpu_s:>9.4f} "
          f"{ref_cpu / cpu_s:>12.3f}x {verdict:>14}  {note}")
print()
print("goals are judged on wall clock; kelvane/this below 1 means kelvane is faster")
print()

# The options against the plain run over the same files, timed in turn: here
# the ratio is this/plain, the option's cost.
print(f"{'set':<7} {'run':<34} {'wall s':>9} {'this/plain':>11} {'cpu s':>9} {'this/plain':>11} "
      f"{'goal':>14}")
options = [("plain", ""), ("v2", "-v2 "), ("magnet", "-magnet ")]
for label, (name, option) in [(label, o) for label in ("small", "hybrid") for o in options]:
    key, plain = f"option_{label}_{name}", f"option_{label}_plain"
    t, p = timing(key), timing(plain)
    ratio, cpu_ratio = t[0] / p[0], t[1] / p[1]
    # The goal holds for the set above; a hybrid's link needs both digests of
    # every info byte, the SHA-256 costing about what the SHA-1 does.
    verdict = ("" if key == plain or label == "hybrid"
               else "<=1.3x " + ("met" if ratio <= 1.3 else "MISSED"))
    print(f"{label:<7} {'kelvane ' + option + repr(label + '/*.torrent'):<34} {t[0]:>9.4f} "
          f"{ratio:>10.3f}x {t[1]:>9.4f} {cpu_ratio:>10.3f}x {verdict:>14}")
PY
cp "$work"/json/*.json "$results/"
