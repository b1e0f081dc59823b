#!/usr/bin/env bash
# Builds the digest benchmark (Release, in build/bench-digest) and runs it, for
# SHA-1 and SHA-256, beside `openssl speed -evp DIGEST` and coreutils'
# `DIGESTsum` on the same machine in the same run, over the same 64 MiB of
# random bytes, then prints one table a digest with the ratios.
#
#   bench/digest/run.sh [ROUNDS] [DIGEST...]   default: 2 rounds, sha1 sha256
#
# Every figure is MB/s = 10^6 bytes per second of processor time, the best of
# ROUNDS rounds, so a busy machine hurts all alike. DIGESTsum is timed by its
# hashing alone, without its reads (32 KiB each; see sum_rate). Each kernel is
# shown hashing the data as one buffer and in 32 KiB pieces as read; the
# hardware kernels are set against openssl (target 0.90), the portable one
# against DIGESTsum (target 1.00).
# Exits non-zero only when a digest disagrees with DIGESTsum's.
set -euo pipefail
# shellcheck source=../build.sh
. "$(dirname "$0")/../build.sh"

rounds=${1:-2}
shift || true
digests=("$@")
((${#digests[@]} > 0)) || digests=(sha1 sha256)
build="$repo/build/bench-digest"

bench_build "$build" digest_bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data="$work/data.bin"
head -c 64M /dev/urandom >"$data"

# Prints "MB/s DIGEST" for DIGESTsum (argument 1) over the file. Its hashing
# time is its processor time (user + system, both exact together) less that of
# reading the file the same way, with dd in 32 KiB blocks; the user/system
# split alone is sampled by the kernel and too coarse for a tenth of a second.
sum_rate() {
  python3 - "$1" "$data" <<'PY'
import os, resource, subprocess, sys
tool, path = sys.argv[1:]

def best_cpu(command):
    best = None
    for _ in range(7):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        used = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        best = used if best is None else min(best, used)
    return best, out

hashing, out = best_cpu([tool, path])
reading, _ = best_cpu(["dd", f"if={path}", "of=/dev/null", "bs=32K", "status=none"])
print(f"{os.path.getsize(path) / (hashing - reading) / 1e6:.1f} {out.split()[0].upper()}")
PY
}

openssl_rate() {
  openssl speed -evp "$1" -bytes 16384 2>/dev/null |
    awk -v d="$1" '$1 == d { v = $NF; sub(/k$/, "", v); printf "%.1f\n", v / 1000 }'
}

max() { awk -v a="$1" -v b="$2" 'BEGIN { print (a + 0 > b + 0) ? a : b }'; }

# One table row: what, MB/s, and the ratio to a reference with its target.
row() {
  local what=$1 rate=$2 reference=${3:-} against=${4:-} target=${5:-}
  if [[ -z $reference ]]; then
    printf '%-42s %9s\n' "$what" "$rate"
    return
  fi
  awk -v w="$what" -v r="$rate" -v ref="$reference" -v a="$against" -v t="$target" 'BEGIN {
    q = r / ref
    printf "%-42s %9s  %5.2f x %-9s (target %.2f: %s)\n", w, r, q, a, t, (q >= t) ? "met" : "missed"
  }'
}

for digest in "${digests[@]}"; do
  declare -A buffer=() pieces=()
  names=()
  best_openssl=0
  best_sum=0
  for ((round = 1; round <= rounds; ++round)); do
    read -r rate expected < <(sum_rate "${digest}sum")
    best_sum=$(max "$best_sum" "$rate")
    best_openssl=$(max "$best_openssl" "$(openssl_rate "$digest")")
    while read -r name whole piecewise got; do
      [[ $name == kernel ]] && continue
      if [[ $got != "$expected" ]]; then
        echo "$digest kernel $name says $got, ${digest}sum says $expected" >&2
        exit 1
      fi
      [[ -v buffer[$name] ]] || names+=("$name")
      buffer[$name]=$(max "${buffer[$name]:-0}" "$whole")
      pieces[$name]=$(max "${pieces[$name]:-0}" "$piecewise")
    done < <("$build/bench/digest/digest_bench" "$digest" "$data")
  done

  printf '%-42s %9s  %s\n' "$digest on $(nproc) cores, best of $rounds rounds" "MB/s" "ratio"
  row "openssl speed -evp $digest, 16 KiB blocks" "$best_openssl"
  row "${digest}sum, 64 MiB file, reads not counted" "$best_sum"
  for name in "${names[@]}"; do
    if [[ $name == portable ]]; then
      reference=$best_sum against=${digest}sum target=1.00
    else
      reference=$best_openssl against=openssl target=0.90
    fi
    row "kelvane $name, 64 MiB buffer" "${buffer[$name]}" "$reference" "$against" "$target"
    row "kelvane $name, 64 MiB in 32 KiB reads" "${pieces[$name]}" "$reference" "$against" "$target"
  done
  echo "All $digest kernels, both ways, agree with ${digest}sum on the data's digest."
  echo
  unset buffer pieces
done
