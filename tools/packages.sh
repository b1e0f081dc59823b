# The Debian packages that building and testing kelvane need, in groups, and
# how a script gets them. Sourced (bash) by run-demo, run-tests and
# fuzz/run.sh; each script asks only for the groups it uses, so none needs
# what another installed first.
#
#   provide GROUP...  installs what the groups lack when running as root (the
#                     way CI runs), else prints the exact apt-get command;
#                     fails when something is still missing
#   ready GROUP...    succeeds when the groups lack nothing
#   lacking GROUP...  the missing packages, on one line

# need PACKAGE COMMAND...: PACKAGE is missing unless COMMAND succeeds. Adds to
# the `missing` array of the function that runs the group.
need() {
  local package=$1
  shift
  "$@" >/dev/null 2>&1 || missing+=("$package")
}

has_command() { command -v "$1"; }

googletest_installed() {
  [ -f /usr/src/googletest/CMakeLists.txt ] || compgen -G '/usr/lib/*/cmake/GTest/GTestConfig.cmake'
}

# libFuzzer comes with clang's runtime package, which Debian only recommends:
# clang++ alone cannot link a fuzz target.
fuzzer_links() {
  local dir status
  dir=$(mktemp -d) || return 1
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
    >"$dir/target.cpp"
  clang++ -fsanitize=fuzzer "$dir/target.cpp" -o "$dir/target"
  status=$?
  rm -rf "$dir"
  return "$status"
}

# The runtime package of the clang++ there is, or of Debian's default clang.
fuzzer_runtime_package() {
  local version
  version=$(clang++ -dumpversion 2>/dev/null) || { echo libclang-rt-dev; return; }
  echo "libclang-rt-${version%%.*}-dev"
}

build_tools() {
  need cmake has_command cmake
  need make has_command make
  need g++ has_command g++
}
unit_test_tools() { need libgtest-dev googletest_installed; }
e2e_tools() { need python3 has_command python3; }
man_tools() { need groff-base has_command groff; }
windows_tools() {
  need g++-mingw-w64-x86-64 has_command x86_64-w64-mingw32-g++-posix
  need wine64 test -x /usr/lib/wine/wine64
  need googletest test -f /usr/src/googletest/CMakeLists.txt
}
fuzz_tools() {
  need clang has_command clang++
  need "$(fuzzer_runtime_package)" fuzzer_links
  need python3 has_command python3
}
crosscheck_tools() {
  need mktorrent has_command mktorrent
  need transmission-cli has_command transmission-show
  need python3-libtorrent /usr/bin/python3 -c 'import libtorrent'
}

lacking() {
  local missing=() group
  for group in "$@"; do "$group"; done
  # Each package once, in the order first named.
  printf '%s\n' "${missing[@]+"${missing[@]}"}" | awk 'NF && !seen[$0]++' | paste -sd ' ' -
}

ready() { [ -z "$(lacking "$@")" ]; }

provide() {
  local packages
  packages=$(lacking "$@")
  [ -n "$packages" ] || return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "installing the Debian packages: $packages"
    # shellcheck disable=SC2086 # one word a package
    if apt-get update && DEBIAN_FRONTEND=noninteractive \
      apt-get install -y --no-install-recommends $packages; then
      packages=$(lacking "$@")
      [ -n "$packages" ] || return 0
    fi
    echo "still missing: $packages" >&2
    return 1
  fi
  echo "missing Debian packages: $packages; install them with:" >&2
  echo "  sudo apt-get update && sudo apt-get install $packages" >&2
  return 1
}
