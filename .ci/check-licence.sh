#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Every tracked source file names its licence in its first three lines:
#   SPDX-License-Identifier: BSD-2-Clause
# Source files are the tracked files (git ls-files) that are
#   C and C++ sources and headers   *.c *.h *.cc *.cpp *.cxx *.hpp (anywhere,
#                                   tools/ and tests/tools/ included)
#   CMake files                     CMakeLists.txt, *.cmake, *.cmake.in
#   scripts                         *.sh, *.py, and files starting with "#!"
# except samples/ and fuzz/corpus/ (test data) and generated files (never
# tracked). Data and documents (*.md, *.txt export lists, *.json presets, the
# pkg-config template, the fuzz dictionary) are not source files.
#
#   .ci/check-licence.sh           list the files without the line; fail if any
#   .ci/check-licence.sh --list    print every file it checks
#   .ci/check-licence.sh --add     add the line where it is missing: first line
#                                  (after a "#!" line, and after a Python coding
#                                  line), as "// ..." in C++ sources and in C
#                                  files and headers that open with "//",
#                                  "/* ... */" in other C files and headers,
#                                  "# ..." elsewhere
set -euo pipefail
cd "$(dirname "$0")/.."

identifier='SPDX-License-Identifier: BSD-2-Clause'
mode=check
case ${1:-} in
  '') ;;
  --list) mode=list ;;
  --add) mode=add ;;
  *) echo "check-licence: unknown option $1 (--list, --add)" >&2; exit 2 ;;
esac

# kind FILE: c, cxx, hash (CMake, shell, Python, other "#!" scripts) or
# nothing when FILE is not a source file.
kind() {
  case $1 in
    samples/* | fuzz/corpus/*) return ;;
    *.c | *.h) echo c ;;
    *.cc | *.cpp | *.cxx | *.hpp) echo cxx ;;
    CMakeLists.txt | */CMakeLists.txt | *.cmake | *.cmake.in | *.sh | *.py) echo hash ;;
    *) [ -f "$1" ] && [ "$(head -c 2 "$1")" = '#!' ] && echo hash ;;
  esac
  return 0
}

has_identifier() {
  head -n 3 "$1" | grep -qE "(^|[[:space:]])${identifier}([[:space:]]*\*/)?[[:space:]]*$"
}

add_identifier() {  # FILE KIND
  local file=$1 line after=0
  case $2 in
    c) if head -n 1 "$file" | grep -q '^//'; then line="// $identifier"; else line="/* $identifier */"; fi ;;
    cxx) line="// $identifier" ;;
    hash) line="# $identifier" ;;
  esac
  if [ "$(head -c 2 "$file")" = '#!' ]; then
    after=1
    sed -n 2p "$file" | grep -qE '^#.*coding[:=]' && after=2
  fi
  local tmp
  tmp=$(mktemp "$file.XXXXXX")
  { head -n "$after" "$file"; printf '%s\n' "$line"; tail -n +"$((after + 1))" "$file"; } >"$tmp"
  chmod --reference="$file" "$tmp"
  mv "$tmp" "$file"
}

missing=0 checked=0
while IFS= read -r -d '' file; do
  k=$(kind "$file")
  [ -n "$k" ] || continue
  [ -f "$file" ] || continue  # deleted in the work tree, not yet committed
  checked=$((checked + 1))
  case $mode in
    list) echo "$file" ;;
    check) has_identifier "$file" || { echo "$file"; missing=$((missing + 1)); } ;;
    add) has_identifier "$file" || { add_identifier "$file" "$k"; echo "added: $file"; } ;;
  esac
done < <(git ls-files -z)

if [ "$mode" = check ]; then
  if [ "$missing" -ne 0 ]; then
    echo "check-licence: $missing of $checked source files lack '$identifier' in their first 3 lines" >&2
    echo "check-licence: '.ci/check-licence.sh --add' adds it" >&2
    exit 1
  fi
  echo "check-licence: all $checked source files carry '$identifier'"
fi
