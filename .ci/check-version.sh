#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# The version is written once, in CMakeLists.txt's project(Quillar VERSION
# x.y.z) line. Everything that shows it is made from that line; this checks
# that the ARCH packages made in BUILD_DIR/packages agree with it:
#   the packages' Version fields (x.y.z-N), the library's file name and its
#   SONAME (libQuillar.so.x), quillar.pc, the CMake package version file,
#   `quillar --version` and the manual page (when the tool has them), the
#   Debian changelog's newest entry, the symbols and shlibs files;
# and that no tracked file other than CMakeLists.txt and the documents (*.md)
# carries the version written out.
#   .ci/check-version.sh BUILD_DIR ARCH
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1 arch=$2
case $arch in
  amd64) triplet=x86_64-linux-gnu run=() ;;
  arm64) triplet=aarch64-linux-gnu run=(qemu-aarch64 -L /usr/aarch64-linux-gnu) ;;
  *) echo "check-version: unknown architecture $arch" >&2; exit 2 ;;
esac
errors=0
fail() { echo "check-version ($arch): $*" >&2; errors=$((errors + 1)); }

version=$(sed -n 's/^project(Quillar VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
  echo "check-version: no 'project(Quillar VERSION x.y.z ...)' line in CMakeLists.txt" >&2
  exit 1
fi
major=${version%%.*}
work=$(mktemp -d /tmp/quillar-version-XXXXXX)
trap 'rm -rf "$work"' EXIT

# agree WHAT VALUE [EXPECTED]: VALUE must be EXPECTED (default: the version).
agree() {
  local expected=${3:-$version}
  if [ "$2" = "$expected" ]; then
    printf '  %-46s %s\n' "$1" "$2"
  else
    fail "$1 is '$2', expected '$expected' (from CMakeLists.txt)"
  fi
}

echo "  CMakeLists.txt project()                       $version"
agree "$build configured as" "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"

copies=$(git grep -n -w -F "$version" -- . ':!CMakeLists.txt' ':!*.md' ':!samples' ':!fuzz/corpus' || true)
[ -z "$copies" ] || fail "the version is written out elsewhere too:
$copies"

root=$work/root
for deb in "$build"/packages/*_"$arch".deb; do
  [ -f "$deb" ] || { fail "no packages in $build/packages"; break; }
  package=$(dpkg-deb -f "$deb" Package)
  agree "$package Version (upstream part)" "$(dpkg-deb -f "$deb" Version | sed 's/-[^-]*$//')"
  dpkg-deb -x "$deb" "$root"
  changelog=$root/usr/share/doc/$package/changelog.Debian.gz
  if [ -f "$changelog" ]; then
    agree "$package changelog, newest entry" "$(zcat "$changelog" | sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p')" \
      "$(dpkg-deb -f "$deb" Version)"
  else
    fail "$package has no changelog.Debian.gz"
  fi
done

lib=$root/usr/lib/$triplet
[ -f "$lib/libQuillar.so.$version" ] || fail "no libQuillar.so.$version in the library package"
agree "SONAME" "$(readelf -d "$lib/libQuillar.so.$version" 2>/dev/null |
  sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')" "libQuillar.so.$major"
agree "quillar.pc Version" "$(sed -n 's/^Version: *//p' "$lib/pkgconfig/quillar.pc")"

# The CMake package version file, asked for exactly this version.
cat >"$work/version.cmake" <<EOF
set(PACKAGE_FIND_VERSION "$version")
set(PACKAGE_FIND_VERSION_MAJOR "$major")
set(CMAKE_SIZEOF_VOID_P 8)
include("$lib/cmake/Quillar/QuillarConfigVersion.cmake")
message("\${PACKAGE_VERSION} exact=\${PACKAGE_VERSION_EXACT}")
EOF
agree "QuillarConfigVersion.cmake" "$(cmake -P "$work/version.cmake" 2>&1)" "$version exact=TRUE"

deb_dir=$work/control
dpkg-deb -e "$build/packages/libquillar${major}_"*"_$arch.deb" "$deb_dir"
agree "shlibs" "$(cat "$deb_dir/shlibs")" "libQuillar $major libquillar$major (>= $version)"
agree "symbols, every symbol's version" "$(awk '/^ / {print $2}' "$deb_dir/symbols" | sort -u)"

# The tool prints the version the build gave it.
if grep -qs QUILLAR_VERSION tools/*.c; then
  agree "quillar --version" "$(env LD_LIBRARY_PATH="$lib" "${run[@]}" "$root/usr/bin/quillar" --version 2>&1)" \
    "quillar $version"
else
  echo "  quillar --version                              (the tool has no --version)"
fi
manual=$root/usr/share/man/man1/quillar.1.gz
if [ -f tools/quillar.1 ]; then
  if [ -f "$manual" ]; then
    agree "quillar(1) header" "$(zcat "$manual" | sed -n 's/^\.TH .*"Quillar \([^"]*\)".*/\1/p')"
  else
    fail "no usr/share/man/man1/quillar.1.gz in the quillar package"
  fi
fi

if [ "$errors" -ne 0 ]; then
  echo "check-version ($arch): $errors problem(s)" >&2
  exit 1
fi
echo "check-version ($arch): every place shows $version"
