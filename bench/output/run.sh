#!/usr/bin/env bash
# Counts the write calls kelvane makes to standard output, with strace, beside
# the bytes it writes: 10,000 report lines into a pipe, and one magnet link of
# about 4.8 MB into a pipe (goal for both: at most one write per 32 KiB, plus
# one for each notice, of which these runs have none). The bytes themselves are
# checked against the lines the files must give.
#
# Usage: bench/output/run.sh
#   KELVANE=<path>           count this executable's writes instead of building one
#   KELVANE_BENCH_BUILD=<d>  Release build folder (default: bench/out/build)
set -euo pipefail
# shellcheck source=../build.sh
. "$(dirname "$0")/../build.sh"

command -v strace > /dev/null || { echo "output: needs strace" >&2; exit 2; }

bench_kelvane

bench_workspace output
python3 - "$work" "$repo/tests" <<'PY'
import hashlib, sys
work = sys.argv[1]
sys.path.insert(0, sys.argv[2])
from bencode_tools import bencode

info = bencode({"length": 1, "name": "a", "piece length": 16384, "pieces": b"\0" * 20})
with open(work + "/a.torrent", "wb") as f:
    f.write(b"d4:info" + info + b"e")
with open(work + "/lines.expected", "w") as f:
    f.write(("%s  a.torrent\n" % hashlib.sha1(info).hexdigest().upper()) * 10000)
# 52,750 trackers of 91 bytes each in the link make one of about 4.8 MB.
trackers = [["http://tracker%05d.invalid/announce/%s" % (n, "x" * 40)] for n in range(52750)]
with open(work + "/magnet.torrent", "wb") as f:
    f.write(bencode({"announce-list": trackers, "info": {"length": 1, "name": "m",
                     "piece length": 16384, "pieces": b"\0" * 20}}))
PY

# count NAME ARGS...: runs kelvane in $work into a pipe under strace and prints
# the bytes and the writes to standard output.
count() {
  local name=$1
  shift
  (cd "$work" && strace -f -e trace=write,writev -e signal=none -o "$work/$name.trace" \
    "$exe" "$@" | cat > "$work/$name.out")
  local writes bytes
  writes=$(grep -cE '^[0-9]+ +write(v)?\(1,' "$work/$name.trace" || true)
  bytes=$(stat -c %s "$work/$name.out")
  printf '| %s | %d | %d | %d |\n' "$name" "$bytes" "$writes" $(((bytes + 32767) / 32768))
}

names=()
for ((i = 0; i < 10000; i++)); do names+=(a.torrent); done
echo "| run | bytes out | writes | bytes / 32 KiB, rounded up |"
echo "|---|---|---|---|"
count lines "${names[@]}"
cmp -s "$work/lines.out" "$work/lines.expected" || { echo "output: the 10,000 lines differ" >&2; exit 1; }
count magnet -magnet magnet.torrent
grep -q '^magnet:?xt=urn:btih:' "$work/magnet.out" || { echo "output: no magnet link" >&2; exit 1; }
