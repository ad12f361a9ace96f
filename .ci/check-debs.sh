#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Inspects the .deb packages cpack made in BUILD_DIR/packages for ARCH (amd64
# or arm64): control fields, dependencies (libc6 and nothing else from
# outside), the exact file lists, the binaries inside (machine, SONAME,
# NEEDED, stripped), the library's control files (symbols against the
# library's exports, shlibs, ldconfig trigger), and lintian: no error and no
# warning. Prints each package's file name and size, and lintian's output.
#   .ci/check-debs.sh BUILD_DIR ARCH
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1 arch=$2
case $arch in
  amd64) triplet=x86_64-linux-gnu machine='X86-64' ;;
  arm64) triplet=aarch64-linux-gnu machine='AArch64' ;;
  *) echo "check-debs: unknown architecture $arch" >&2; exit 2 ;;
esac
upstream=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
version=$upstream-1
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

# docs PACKAGE: what every package carries besides its payload.
docs() {
  printf 'usr/share/doc/%s/copyright\nusr/share/doc/%s/changelog.Debian.gz\nusr/share/lintian/overrides/%s' "$1" "$1" "$1"
}
libc6='libc6 \(>= [0-9]+\.[0-9]+\)'
headers=$(cd include && ls quillar/*.h | sed 's|^|usr/include/|')
# The manual page comes with the tool (tools/quillar.1).
manual=
[ -f tools/quillar.1 ] && manual=$'\nusr/share/man/man1/quillar.1.gz'
check_package "libquillar$soversion" "$libc6" \
  "$lib/libQuillar.so.$soversion
$lib/libQuillar.so.${version%-*}
$(docs "libquillar$soversion")"
check_package libquillar-dev "libquillar$soversion \\(= ${version//./\\.}\\)" \
  "$headers
$(docs libquillar-dev)
$lib/libQuillar.so
$lib/pkgconfig/quillar.pc
$lib/cmake/Quillar/QuillarConfig.cmake
$lib/cmake/Quillar/QuillarConfigVersion.cmake
$lib/cmake/Quillar/QuillarTargets.cmake
$lib/cmake/Quillar/QuillarTargets-$config.cmake"
check_package quillar "libquillar$soversion \\(= ${version//./\\.}\\), $libc6" "usr/bin/quillar$manual
$(docs quillar)"

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

# The library's control files: the ldconfig trigger, shlibs, and a symbols
# file that lists exactly the names the library exports, each with this
# upstream version. All of them 0644, as dpkg wants.
libdeb=$build/packages/libquillar${soversion}_${version}_$arch.deb
control=$work/control
dpkg-deb -e "$libdeb" "$control"
[ "$(cat "$control/triggers")" = "activate-noawait ldconfig" ] || fail "triggers: $(cat "$control/triggers")"
[ "$(cat "$control/shlibs")" = "libQuillar $soversion libquillar$soversion (>= $upstream)" ] ||
  fail "shlibs: $(cat "$control/shlibs")"
for f in shlibs symbols triggers; do
  [ "$(stat -c %a "$control/$f")" = 644 ] || fail "control file $f has mode $(stat -c %a "$control/$f")"
done
[ "$(sed -n 1p "$control/symbols")" = "libQuillar.so.$soversion libquillar$soversion #MINVER#" ] ||
  fail "symbols: first line is '$(sed -n 1p "$control/symbols")'"
exported=$(readelf -W --dyn-syms "$root/$lib/libQuillar.so.${version%-*}" |
           awk '$5 == "GLOBAL" && $7 != "UND" {sub(/@.*/, "", $8); print $8}' | sort -u)
listed=$(sed -n 's/^ \([A-Za-z0-9_]*\)@Base .*/\1/p' "$control/symbols" | sort)
[ "$exported" = "$listed" ] ||
  fail "symbols lists other names than the library exports (< exported, > listed):
$(diff <(echo "$exported") <(echo "$listed") | grep '^[<>]')"
stale=$(grep '^ ' "$control/symbols" | awk -v v="$upstream" '$2 != v' || true)
[ -z "$stale" ] || fail "symbols with another version than $upstream: $stale"

# Natively, dpkg-shlibdeps (libc6's symbols file) must agree with the libc6
# dependency cpack wrote from the GLIBC symbol versions, and a program linked
# against the library (the packaged quillar) must get "libquillar0 (>= this
# version)" from the package's symbols file.
if [ "$arch" = "$(dpkg --print-architecture)" ] && command -v dpkg-shlibdeps >/dev/null; then
  shlibdeps=$work/shlibdeps
  mkdir -p "$shlibdeps/debian/libquillar$soversion/DEBIAN"
  printf 'Source: quillar\n\nPackage: libquillar%s\nArchitecture: any\n\nPackage: quillar\nArchitecture: any\n' \
    "$soversion" >"$shlibdeps/debian/control"
  dpkg-deb -x "$libdeb" "$shlibdeps/debian/libquillar$soversion"
  cp "$control/symbols" "$control/shlibs" "$shlibdeps/debian/libquillar$soversion/DEBIAN/"
  expected=$(cd "$shlibdeps" && dpkg-shlibdeps -O "$root/$lib/libQuillar.so.${version%-*}" 2>/dev/null |
             sed -n 's/^shlibs:Depends=//p')
  actual=$(field "$libdeb" Depends)
  [ "$expected" = "$actual" ] || fail "dpkg-shlibdeps says '$expected', the package says '$actual'"
  if [ -f "$root/usr/bin/quillar" ]; then
    dependent=$(cd "$shlibdeps" && dpkg-shlibdeps -O -Sdebian/libquillar$soversion "$root/usr/bin/quillar" 2>&1 |
                sed -n 's/^shlibs:Depends=//p')
    [[ $dependent == *"libquillar$soversion (>= $upstream)"* ]] ||
      fail "dpkg-shlibdeps gives a program linked against the library '$dependent'"
  fi
fi

# Debian's package checker: no error and no warning (informational tags are
# shown, overridden ones are not).
if ! command -v lintian >/dev/null; then
  fail "lintian is not installed (apt-get install lintian)"
else
  echo "  lintian:"
  debs=("$build"/packages/*_"${version}_$arch".deb)
  status=0
  lintian --fail-on error,warning --display-info --tag-display-limit 0 "${debs[@]}" >"$work/lintian.txt" 2>&1 || status=$?
  grep -v '^running with root privileges' "$work/lintian.txt" | sed 's/^/    /' || true
  if [ "$status" -ne 0 ] || grep -qE '^[EW]: ' "$work/lintian.txt"; then
    fail "lintian reports errors or warnings (exit status $status)"
  fi
fi

if [ "$errors" -ne 0 ]; then
  echo "check-debs ($arch): $errors problem(s)" >&2
  exit 1
fi
echo "check-debs ($arch): 3 packages as expected"
