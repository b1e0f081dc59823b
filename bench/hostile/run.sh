#!/bin/bash
# Runs a Release kelvane once over each crafted hostile file and prints its
# wall time, CPU time and peak memory, checking the line it prints and the
# limits set for each file. Then it runs a file nested ten million deep and a
# good file on one command line: the first must give the error line, the
# second still its digest.
#
#   bench/hostile/run.sh [--windows]
#
# --windows repeats the command-line check with the MinGW build under Wine.
# Environment: KELVANE_HOSTILE_BUILD (build directory, default build/hostile).
# Exits non-zero when a line is wrong or a limit is exceeded.
set -euo pipefail
# shellcheck source=../build.sh
. "$(dirname "$0")/../build.sh"

windows=false
case ${1:-} in
  '') ;;
  --windows) windows=true ;;
  *) echo "usage: $0 [--windows]" >&2; exit 2 ;;
esac

build=${KELVANE_HOSTILE_BUILD:-$repo/build/hostile}

bench_build "$build" kelvane
kelvane=$build/kelvane

bench_workspace hostile
files=$work
/usr/bin/python3 "$here/make_files.py" "$files"

# One run of a command: its standard output to $files/out, and "wall cpu
# maxrss_kib" on standard output. Its address space is capped at $cap_mib
# (0: no cap), so a run that would take the machine's memory fails on its own
# instead. GNU time is preferred: the fallback forks from Python, whose own
# few MiB then count towards the child's peak.
cap_mib=4096
measure() {
  if [[ -x /usr/bin/time ]]; then
    /usr/bin/time -f '%e %U %S %M' -o "$files/time" \
      bash -c '(($1 == 0)) || ulimit -v $(($1 * 1024)); shift; exec "$@"' capped "$cap_mib" "$@" \
      > "$files/out" || true
    awk '{ printf "%.2f %.2f %d\n", $1, $2 + $3, $4 }' "$files/time"
  else
    ( ((cap_mib == 0)) || ulimit -v $((cap_mib * 1024))
      /usr/bin/python3 "$here/measure.py" "$files/out" "$@")
  fi
}

failed=0
printf '%-22s %12s %8s %8s %9s  %-12s %s\n' file bytes wall_s cpu_s rss_mib limits result
while IFS=$'\t' read -r name want seconds mib; do
  cap_mib=$((mib * 2 > 1024 ? mib * 2 : 1024))
  read -r wall cpu rss_kib < <(measure "$kelvane" "$files/$name")
  rss_mib=$((rss_kib / 1024))
  got=$(cat "$files/out")
  verdict=ok
  if [[ $got != "$want  $name" ]]; then
    verdict="WRONG LINE: $got"
  elif awk -v c="$cpu" -v s="$seconds" 'BEGIN { exit !(c > s) }' || ((rss_mib >= mib)); then
    verdict="OVER LIMIT"
  fi
  [[ $verdict == ok ]] || failed=1
  printf '%-22s %12d %8s %8s %9d  %-12s %s\n' "$name" "$(stat -c %s "$files/$name")" "$wall" "$cpu" \
    "$rss_mib" "<${seconds}s,<${mib}M" "$verdict"
done < "$files/cases.tsv"

# The lines the command-line check must print, with the name shown for each;
# the Windows build ends them with CR LF, the native one with LF.
good=$(awk -F'\t' '$1 == "good.torrent" { print $2 }' "$files/cases.tsv")

# Wine reserves more address space than any cap would allow.
check_pair() {
  cap_mib=0
  local label=$1
  shift
  local wall cpu rss_kib
  read -r wall cpu rss_kib < <(measure "$@")
  local cr=
  [[ $label == wine ]] && cr=$'\r'
  if [[ $(cat "$files/out") == "Error in file   nest-10m.torrent$cr"$'\n'"$good  good.torrent$cr" ]]; then
    echo "$label: nest-10m then good on one command line: both lines right (${wall}s wall)"
  else
    echo "$label: nest-10m then good on one command line: WRONG OUTPUT:" >&2
    cat -A "$files/out" >&2
    failed=1
  fi
}
check_pair native "$kelvane" "$files/nest-10m.torrent" "$files/good.torrent"

if $windows; then
  winbuild=$build-windows
  mkdir -p "$winbuild"
  cmake -S "$repo" -B "$winbuild" --toolchain "$repo/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DKELVANE_BUILD_TESTS=OFF > "$winbuild/configure.log" 2>&1 || { cat "$winbuild/configure.log" >&2; exit 2; }
  cmake --build "$winbuild" --target kelvane -j2 > "$winbuild/build.log" 2>&1 ||
    { tail -40 "$winbuild/build.log" >&2; exit 2; }
  # Under Wine the Unix root is drive Z:; a name without a directory would
  # mean the program's own folder, so the full name is given.
  winfiles="Z:${files//\//\\}"
  check_pair wine "$winbuild/wine-run" "$winbuild/kelvane.exe" "$winfiles\\nest-10m.torrent" \
    "$winfiles\\good.torrent"
fi
exit $failed
