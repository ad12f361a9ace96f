#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Installs what the test suite needs and is missing (with apt-get, through
# sudo when not root; it says what it installs first), then builds and runs
# every test: `cmake --workflow --preset test`.
#
#   tools/setup-tests.sh                 install what is missing, run the tests
#   tools/setup-tests.sh --install-only  only install
#   tools/setup-tests.sh --ci            also what .ci/run needs (the arm64
#                                        cross compiler and qemu, valgrind,
#                                        clang for fuzzing, the benchmark's
#                                        libavformat, packaging tools)
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=1 ci=0
for arg in "$@"; do
  case $arg in
    --install-only) run_tests=0 ;;
    --ci) ci=1 ;;
    -h|--help) sed -n '2,12s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "setup-tests: unknown option $arg (see --help)" >&2; exit 2 ;;
  esac
done

# Build: compiler and CMake. Tests: GoogleTest; ffmpeg/ffprobe, cwebp (webp) and
# mkvmerge/mkvinfo (mkvtoolnix)
# for the interop tests, which are skipped without them; python3 parses the
# tool's JSON.
packages=(cmake make gcc g++ libgtest-dev ffmpeg webp mkvtoolnix python3)
if [ $ci = 1 ]; then
  packages+=(pkg-config ca-certificates g++-aarch64-linux-gnu qemu-user googletest dpkg-dev
             libavformat-dev libbenchmark-dev clang libclang-rt-14-dev valgrind lintian)
fi

if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
  echo "setup-tests: not a Debian-like system; install these (or your system's equivalents) yourself:" >&2
  echo "  ${packages[*]}" >&2
  [ $run_tests = 1 ] && exec cmake --workflow --preset test
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup-tests: everything the tests need is installed"
else
  echo "setup-tests: installing with apt-get: ${missing[*]}"
  sudo=()
  if [ "$(id -u)" != 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "setup-tests: not root and no sudo; as root run:" >&2
      echo "  apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
      exit 1
    fi
    sudo=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  echo "setup-tests: installed ${missing[*]}"
fi

if [ $run_tests = 1 ]; then
  echo "setup-tests: cmake --workflow --preset test"
  exec cmake --workflow --preset test
fi
