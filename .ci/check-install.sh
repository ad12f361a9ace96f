#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Uses an installed Quillar the ways an integrator does, and checks that the
# programs built against it count the frames of samples/testsrc-vp8.ivf:
#   - `cmake --install build/default` into a scratch prefix;
#   - the amd64 .deb packages unpacked with dpkg-deb into a scratch root;
#   - the arm64 .deb packages unpacked likewise, cross-compiled, run under
#     qemu-aarch64.
# Each tree is used both ways: pkg-config on a plain compiler command line,
# and find_package(Quillar) from tests/consumer/CMakeLists.txt. Both build
# tests/consumer/consumer.c and the README's examples/minimal_host.c; the
# installed quillar host runs too. The README must quote the example as it is.
# Expects build/default and build/arm64 built and packaged (.ci/run does it).
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
sample=$src/samples/testsrc-vp8.ivf
frames=30
work=$(mktemp -d /tmp/quillar-install-XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() { echo "check-install: $*" >&2; exit 1; }

# check_tree NAME ROOT PREFIX TRIPLET: builds and runs the consumers against
# the tree whose installed prefix is ROOT/PREFIX.
check_tree() {
  local name=$1 root=$2 triplet=$4
  local prefix=$root$3
  local libdir=$prefix/lib/$triplet
  local out=$work/$name
  local cc=cc run=() cmake_args=(-DCMAKE_PREFIX_PATH="$prefix")
  if [ "$triplet" = aarch64-linux-gnu ]; then
    cc=aarch64-linux-gnu-gcc
    run=(qemu-aarch64 -L /usr/aarch64-linux-gnu -E LD_LIBRARY_PATH="$libdir")
    cmake_args=(-DCMAKE_TOOLCHAIN_FILE="$src/cmake/aarch64-linux-gnu.cmake"
                -DCMAKE_FIND_ROOT_PATH="$root" -DCMAKE_PREFIX_PATH="$3")
  else
    run=(env LD_LIBRARY_PATH="$libdir")
  fi
  mkdir -p "$out/pkg-config"
  [ -f "$libdir/pkgconfig/quillar.pc" ] || fail "$name: no $libdir/pkgconfig/quillar.pc"

  # pkg-config, from this tree only.
  local flags
  flags=$(PKG_CONFIG_LIBDIR=$libdir/pkgconfig PKG_CONFIG_PATH= pkg-config --cflags --libs quillar)
  local warn=(-std=c99 -Wall -Wextra -Wconversion -Werror -pedantic)
  $cc "${warn[@]}" -o "$out/pkg-config/quillar_consumer" tests/consumer/consumer.c $flags
  $cc "${warn[@]}" -o "$out/pkg-config/minimal_host" examples/minimal_host.c $flags
  # find_package(Quillar) and Quillar::Quillar.
  cmake -S tests/consumer -B "$out/find-package" "${cmake_args[@]}" >"$out/configure.log" ||
    { cat "$out/configure.log"; fail "$name: find_package(Quillar) failed"; }
  cmake --build "$out/find-package" >"$out/build.log" || { cat "$out/build.log"; fail "$name: build failed"; }

  for way in pkg-config find-package; do
    local dir=$out/$way
    local summary
    summary=$("${run[@]}" "$dir/quillar_consumer" "$sample" 10 $frames 2>&1 >/dev/null) ||
      fail "$name ($way): quillar_consumer: $summary"
    summary=$("${run[@]}" "$dir/minimal_host" "$sample" 2>&1 >/dev/null) ||
      fail "$name ($way): minimal_host failed: $summary"
    [ "$summary" = "$frames frames, 0 codec items, end of stream" ] ||
      fail "$name ($way): minimal_host says '$summary'"
  done
  if [ -x "$prefix/bin/quillar" ]; then
    "${run[@]}" "$prefix/bin/quillar" -q "$sample" | grep -q ": $frames items ($frames frames, 0 codec)" ||
      fail "$name: the installed quillar host does not count $frames frames"
  fi
  echo "$name: consumer and minimal_host built with pkg-config and find_package; $frames frames"
}

# The README quotes examples/minimal_host.c whole; the quote must not drift.
# (The quote is the C block whose first or second line, after the licence
# line, opens the example's description.)
awk '/^```c$/ { inside = 1; n = 0; keep = 0; next }
     inside && /^```$/ { if (keep) exit; inside = 0; next }
     inside { n++
              if (n <= 2 && $0 ~ /^\/\* A complete minimal decoder host/) keep = 1
              if (n == 1) { held = $0; next }
              if (n == 2 && keep) print held
              if (keep) print }' \
  README.md >"$work/readme-example.c"
diff -u examples/minimal_host.c "$work/readme-example.c" >&2 ||
  fail "README.md does not quote examples/minimal_host.c as it stands"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/default/CMakeCache.txt)

# 1. cmake --install (every component) into a prefix. The package workflow
# configures build/default without the tool's RUNPATH; the default preset
# puts it back.
cmake --preset default >/dev/null && cmake --build --preset default --target quillar >/dev/null
cmake --install build/default --prefix "$work/prefix" >/dev/null
check_tree install "$work/prefix" "" "$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=lib\///p' build/default/CMakeCache.txt)"
# The installed tool finds its library through its $ORIGIN RUNPATH, also
# once the tree has moved; the packaged one has no RUNPATH.
mv "$work/prefix" "$work/moved"
env -u LD_LIBRARY_PATH "$work/moved/bin/quillar" -q "$sample" >/dev/null ||
  fail "the installed quillar does not run from a moved tree without LD_LIBRARY_PATH"
[ -f "$work/moved/share/man/man1/quillar.1.gz" ] || fail "no share/man/man1/quillar.1.gz installed"

# 2./3. The packages, unpacked.
for arch in amd64 arm64; do
  case $arch in amd64) build=build/default triplet=x86_64-linux-gnu ;;
                arm64) build=build/arm64 triplet=aarch64-linux-gnu ;; esac
  for pkg in libquillar0 libquillar-dev quillar; do
    deb=$build/packages/${pkg}_${version}-1_$arch.deb
    [ -f "$deb" ] || fail "no $deb"
    dpkg-deb -x "$deb" "$work/deb-$arch"
  done
  ! readelf -d "$work/deb-$arch/usr/bin/quillar" | grep -qE "RPATH|RUNPATH" ||
    fail "the $arch package's quillar has an RPATH or RUNPATH"
  check_tree "deb-$arch" "$work/deb-$arch" /usr "$triplet"
done
