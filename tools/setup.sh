#!/usr/bin/env bash
# Installs with apt-get what building and testing QuillonCrypto needs and this Debian machine
# lacks: the native build with all its test suites (compiler, CMake, OpenSSL, GoogleTest, a
# JDK and JUnit 4, pkg-config, valgrind for the constant-time checks, clang with libFuzzer
# for the fuzz targets), and with --cross also the SPARC and Windows cross compilers and
# their emulators. Packages already there are left alone; nothing is installed when nothing is
# missing. --check only lists what is missing (exit 1 when something is). apt-get runs as root,
# through sudo when the caller is not root.
set -euo pipefail

native=(cmake g++ make pkg-config libssl-dev googletest openssl openjdk-17-jdk junit4 libbcprov-java valgrind
  clang libclang-rt-14-dev)
cross=(qemu-user g++-multilib-sparc64-linux-gnu g++-mingw-w64-x86-64-posix wine wine64)

packages=("${native[@]}")
check_only=0
for arg in "$@"; do
  case "$arg" in
    --cross) packages+=("${cross[@]}") ;;
    --check) check_only=1 ;;
    *)
      echo "usage: tools/setup.sh [--cross] [--check]" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi
if [ "$check_only" -eq 1 ]; then
  echo "missing: ${missing[*]}"
  exit 1
fi
echo "tools/setup.sh: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "tools/setup.sh: run as root (no sudo here)" >&2; exit 1; }
  sudo=(sudo)
fi
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
  "${missing[@]}"
