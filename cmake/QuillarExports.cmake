# SPDX-License-Identifier: BSD-2-Clause
# The promised export list: abi/exports/*.txt, one name a line. The version
# script, the Debian symbols file and the export test all read it through
# this function, so they cannot disagree on what a line means.
function(quillar_read_exports out_var exports_dir)
  file(GLOB lists ${exports_dir}/*.txt)
  set(names_all "")
  foreach(list_file IN LISTS lists)
    file(STRINGS ${list_file} names REGEX "^[A-Za-z_][A-Za-z0-9_]*$")
    list(APPEND names_all ${names})
  endforeach()
  list(SORT names_all)
  list(REMOVE_DUPLICATES names_all)
  set(${out_var} "${names_all}" PARENT_SCOPE)
endfunction()
