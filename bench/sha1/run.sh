#!/usr/bin/env bash
# Builds the SHA-1 benchmark (Release, in build/bench-sha1) and runs it beside
# `openssl speed -evp sha1` and coreutils `sha1sum` on the same machine, over
# the same 64 MiB of random bytes, then prints one table with the ratios.
# Every figure is MB/s = 10^6 bytes per second of processor time, the best of
# ROUNDS rounds (argument 1, default 2), so a busy machine hurts all alike.
# Exits non-zero only when a digest disagrees with sha1sum's.
set -euo pipefail

rounds=${1:-2}
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build/bench-sha1"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKELVANE_BUILD_TESTS=OFF \
  -DKELVANE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target sha1_bench -j2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data="$work/data.bin"
head -c 64M /dev/urandom >"$data"

# User time of sha1sum over the file, from the children's rusage: its
# hashing, without the system time it spends reading the file.
sha1sum_rate() {
  python3 - "$data" <<'PY'
import os, resource, subprocess, sys
path = sys.argv[1]
best = None
for _ in range(5):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    out = subprocess.run(["sha1sum", path], check=True, capture_output=True, text=True).stdout
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    used = after.ru_utime - before.ru_utime
    best = used if best is None else min(best, used)
print(f"{os.path.getsize(path) / best / 1e6:.1f} {out.split()[0].upper()}")
PY
}

openssl_rate() {
  openssl speed -evp sha1 -bytes 16384 2>/dev/null |
    awk '$1 == "sha1" { v = $NF; sub(/k$/, "", v); printf "%.1f\n", v / 1000 }'
}

max() { awk -v a="$1" -v b="$2" 'BEGIN { print (a + 0 > b + 0) ? a : b }'; }

declare -A ours=()
names=()
best_openssl=0
best_sha1sum=0
reference=""
for ((round = 1; round <= rounds; ++round)); do
  while read -r name rate digest; do
    [[ $name == kernel ]] && continue
    [[ -v ours[$name] ]] || names+=("$name")
    ours[$name]=$(max "${ours[$name]:-0}" "$rate")
    if [[ -n $reference && $digest != "$reference" ]]; then
      echo "digest of kernel $name differs: $digest against $reference" >&2
      exit 1
    fi
    reference=$digest
  done < <("$build/bench/sha1/sha1_bench" "$data")
  best_openssl=$(max "$best_openssl" "$(openssl_rate)")
  read -r rate digest < <(sha1sum_rate)
  best_sha1sum=$(max "$best_sha1sum" "$rate")
  if [[ $digest != "$reference" ]]; then
    echo "sha1sum says $digest, the kernels say $reference" >&2
    exit 1
  fi
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r + 0 >= t + 0) ? "met" : "missed" }'; }

printf '%-34s %10s  %s\n' "SHA-1, best of $rounds rounds" "MB/s" "ratio"
printf '%-34s %10s\n' "openssl speed -evp sha1, 16 KiB" "$best_openssl"
printf '%-34s %10s\n' "sha1sum, 64 MiB file" "$best_sha1sum"
for name in "${names[@]}"; do
  if [[ $name == portable ]]; then
    r=$(ratio "${ours[$name]}" "$best_sha1sum")
    printf '%-34s %10s  %s x sha1sum (target 1.00: %s)\n' "kelvane $name, 64 MiB" "${ours[$name]}" "$r" \
      "$(verdict "$r" 1.00)"
  else
    r=$(ratio "${ours[$name]}" "$best_openssl")
    printf '%-34s %10s  %s x openssl (target 0.90: %s)\n' "kelvane $name, 64 MiB" "${ours[$name]}" "$r" \
      "$(verdict "$r" 0.90)"
  fi
done
echo "digest of the data: $reference (all kernels and sha1sum agree)"
