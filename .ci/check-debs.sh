#!/usr/bin/env bash
# Inspects the .deb packages cpack made in BUILD_DIR/packages for ARCH (amd64
# or arm64): control fields, dependencies (libc6 and nothing else from
# outside), the exact file lists, and the binaries inside (machine, SONAME,
# NEEDED, stripped). Prints each package's file name and size.
#   .ci/check-debs.sh BUILD_DIR ARCH
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1 arch=$2
case $arch in
  amd64) triplet=x86_64-linux-gnu machine='X86-64' ;;
  arm64) triplet=aarch64-linux-gnu machine='AArch64' ;;
  *) echo "check-debs: unknown architecture $arch" >&2; exit 2 ;;
esac
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")-1
soversion=${version%%.*}
config=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" | tr 'A-Z' 'a-z')
lib=usr/lib/$triplet
work=$(mktemp -d /tmp/quillar-debs-XXXXXX)
trap 'rm -rf "$work"' EXIT
errors=0
fail() { echo "check-debs ($arch): $*" >&2; errors=$((errors + 1)); }

# field DEB NAME
field() { dpkg-deb -f "$1" "$2"; }
# The package's files and links, one per line, without the leading "./".
contents() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort; }

check_package() {  # PACKAGE DEPENDS_REGEX EXPECTED_FILES(newline-separated)
  local package=$1 depends_re=$2 expected=$3
  local deb=$build/packages/${package}_${version}_$arch.deb
  if [ ! -f "$deb" ]; then fail "missing $deb"; return; fi
  printf '  %-40s %7d bytes\n' "$(basename "$deb")" "$(stat -c %s "$deb")"
  [ "$(field "$deb" Package)" = "$package" ] || fail "$deb: Package is $(field "$deb" Package)"
  [ "$(field "$deb" Version)" = "$version" ] || fail "$deb: Version is $(field "$deb" Version)"
  [ "$(field "$deb" Architecture)" = "$arch" ] || fail "$deb: Architecture is $(field "$deb" Architecture)"
  local depends
  depends=$(field "$deb" Depends)
  [[ $depends =~ ^${depends_re}$ ]] || fail "$deb: Depends is '$depends'"
  for f in Pre-Depends Recommends; do
    [ -z "$(field "$deb" $f)" ] || fail "$deb: unexpected $f: $(field "$deb" $f)"
  done
  local actual
  actual=$(contents "$deb")
  [ "$actual" = "$(sort <<<"$expected")" ] ||
    fail "$deb: files differ from the expected list (< expected, > packaged):
$(diff <(sort <<<"$expected") <(echo "$actual") | grep '^[<>]')"
  dpkg-deb -x "$deb" "$work/root"
}

libc6='libc6 \(>= [0-9]+\.[0-9]+\)'
headers=$(cd include && ls quillar/*.h | sed 's|^|usr/include/|')
check_package "libquillar$soversion" "$libc6" \
  "$lib/libQuillar.so.$soversion
$lib/libQuillar.so.${version%-*}"
check_package libquillar-dev "libquillar$soversion \\(= ${version//./\\.}\\)" \
  "$headers
$lib/libQuillar.so
$lib/pkgconfig/quillar.pc
$lib/cmake/Quillar/QuillarConfig.cmake
$lib/cmake/Quillar/QuillarConfigVersion.cmake
$lib/cmake/Quillar/QuillarTargets.cmake
$lib/cmake/Quillar/QuillarTargets-$config.cmake"
check_package quillar "libquillar$soversion \\(= ${version//./\\.}\\), $libc6" "usr/bin/quillar
usr/share/man/man1/quillar.1.gz"

# The binaries: built for ARCH, stripped, the library with its SONAME and only
# the C library as a dependency; the symlinks lead to the real files.
root=$work/root
[ "$(readlink "$root/$lib/libQuillar.so.$soversion")" = "libQuillar.so.${version%-*}" ] ||
  fail "libQuillar.so.$soversion does not point at libQuillar.so.${version%-*}"
[ "$(readlink "$root/$lib/libQuillar.so")" = "libQuillar.so.$soversion" ] ||
  fail "libQuillar.so does not point at libQuillar.so.$soversion"
for binary in "$root/$lib/libQuillar.so.${version%-*}" "$root/usr/bin/quillar"; do
  [ -f "$binary" ] || continue
  readelf -h "$binary" | grep -q "Machine: *.*$machine" || fail "$binary is not built for $machine"
  ! readelf -S "$binary" | grep -qE '\.symtab|\.debug_info' || fail "$binary is not stripped"
done
dynamic=$(readelf -d "$root/$lib/libQuillar.so.${version%-*}")
grep -q "(SONAME) *Library soname: \[libQuillar.so.$soversion\]" <<<"$dynamic" || fail "wrong SONAME"
needed=$(grep -o '(NEEDED).*' <<<"$dynamic" | sed 's/.*\[\(.*\)\]/\1/' | grep -vE '^(libc\.so\.6|ld-linux.*\.so\.[0-9]+)$' || true)
[ -z "$needed" ] || fail "libQuillar needs more than the C library: $needed"

# Natively, dpkg-shlibdeps (libc6's symbols file) must agree with the libc6
# dependency cpack wrote from the GLIBC symbol versions.
if [ "$arch" = "$(dpkg --print-architecture)" ] && command -v dpkg-shlibdeps >/dev/null; then
  mkdir -p "$work/shlibdeps/debian"
  printf 'Source: quillar\n\nPackage: libquillar%s\nArchitecture: any\n' "$soversion" >"$work/shlibdeps/debian/control"
  expected=$(cd "$work/shlibdeps" && dpkg-shlibdeps -O "$root/$lib/libQuillar.so.${version%-*}" 2>/dev/null |
             sed -n 's/^shlibs:Depends=//p')
  actual=$(field "$build/packages/libquillar${soversion}_${version}_$arch.deb" Depends)
  [ "$expected" = "$actual" ] || fail "dpkg-shlibdeps says '$expected', the package says '$actual'"
fi

if [ "$errors" -ne 0 ]; then
  echo "check-debs ($arch): $errors problem(s)" >&2
  exit 1
fi
echo "check-debs ($arch): 3 packages as expected"
