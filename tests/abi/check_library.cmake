# SPDX-License-Identifier: BSD-2-Clause
# Checks the built shared library: its dynamic symbols are exactly the
# functions and data that the public headers declare with QUILLAR_API, and
# exactly the names listed in abi/exports/*.txt (the source of the version
# script); and it needs nothing but the C library.
file(GLOB lists ${EXPORT_LISTS_DIR}/*.txt)
set(listed "")
foreach(f IN LISTS lists)
  file(STRINGS ${f} names REGEX "^[A-Za-z_][A-Za-z0-9_]*$")
  list(APPEND listed ${names})
endforeach()
list(SORT listed)
list(REMOVE_DUPLICATES listed)

# The headers' declarations, read through the preprocessor (so comments and
# conditionals count as the compiler sees them), with the export macro
# turned into a marker that starts each exported declaration (export.h, which
# defines it, is held back).
file(GLOB headers ${INCLUDE_DIR}/quillar/*.h)
file(MAKE_DIRECTORY ${WORK_DIR})
set(all_headers "")
foreach(h IN LISTS headers)
  get_filename_component(name ${h} NAME)
  string(APPEND all_headers "#include <quillar/${name}>\n")
endforeach()
file(WRITE ${WORK_DIR}/all_headers.c "${all_headers}")
execute_process(COMMAND ${CC} -E -P -DQUILLAR_EXPORT_H -DQUILLAR_API=QUILLAR_EXPORTED_DECLARATION
                        -DQUILLAR_BEGIN_DECLS= -DQUILLAR_END_DECLS= -I${INCLUDE_DIR}
                        ${WORK_DIR}/all_headers.c
                OUTPUT_VARIABLE preprocessed RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot preprocess the public headers:\n${err}")
endif()
# (Brackets would group list elements in CMake: they become angle brackets.)
string(REPLACE "[" "<" preprocessed "${preprocessed}")
string(REPLACE "]" ">" preprocessed "${preprocessed}")
string(REGEX MATCHALL "QUILLAR_EXPORTED_DECLARATION[^;{]*" declarations "${preprocessed}")
set(declared "")
foreach(d IN LISTS declarations)
  # A function's name is the identifier before its parameter list; a data
  # table's, the one before its brackets or the end of the declaration.
  if(d MATCHES "^QUILLAR_EXPORTED_DECLARATION[^(]*[^A-Za-z0-9_]([A-Za-z_][A-Za-z0-9_]*)[ \t\n]*\\(")
    list(APPEND declared ${CMAKE_MATCH_1})
  elseif(d MATCHES "([A-Za-z_][A-Za-z0-9_]*)[ \t\n]*(<[^>]*>[ \t\n]*)?$")
    list(APPEND declared ${CMAKE_MATCH_1})
  else()
    message(FATAL_ERROR "cannot read the exported declaration: ${d}")
  endif()
endforeach()
list(SORT declared)
list(REMOVE_DUPLICATES declared)
if(NOT declared)
  message(FATAL_ERROR "no QUILLAR_API declaration found under ${INCLUDE_DIR}/quillar")
endif()

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE nm_out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${nm_out}")
set(actual "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] ([A-Za-z_][A-Za-z0-9_]*)")
    list(APPEND actual ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT actual)

function(compare what expected)
  set(missing ${expected})
  list(REMOVE_ITEM missing ${actual})
  set(extra ${actual})
  list(REMOVE_ITEM extra ${expected})
  if(missing OR extra)
    message(FATAL_ERROR "exports differ from ${what}: missing [${missing}] unexpected [${extra}]")
  endif()
endfunction()
compare("the QUILLAR_API declarations of the public headers" "${declared}")
compare("abi/exports" "${listed}")
list(LENGTH actual n_actual)
message(STATUS "exports: ${n_actual} symbols, as the headers declare and abi/exports lists")

# The library is built for the machine this build targets (a cross build
# checks its aarch64 library with the cross binutils).
if(MACHINE)
  execute_process(COMMAND ${READELF} -h ${LIBRARY} OUTPUT_VARIABLE header RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT header MATCHES "Machine: +([^\n]*)")
    message(FATAL_ERROR "readelf -h failed on ${LIBRARY}")
  endif()
  set(machine "${CMAKE_MATCH_1}")
  if(NOT machine MATCHES "${MACHINE}")
    message(FATAL_ERROR "libQuillar is built for ${machine}, not ${MACHINE}")
  endif()
  message(STATUS "machine: ${machine}")
endif()

execute_process(COMMAND ${READELF} -d ${LIBRARY} OUTPUT_VARIABLE dyn RESULT_VARIABLE rc)
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[([^]]+)\\]" needed_lines "${dyn}")
set(needed "")
foreach(l IN LISTS needed_lines)
  string(REGEX REPLACE ".*\\[([^]]+)\\]" "\\1" lib "${l}")
  list(APPEND needed ${lib})
  if(SANITIZED AND lib MATCHES "^lib(asan|ubsan|tsan|stdc\\+\\+|m|gcc_s)\\.so")
    continue()  # a sanitizer build carries the sanitizer runtimes
  endif()
  if(NOT lib MATCHES "^(libc\\.so\\.[0-9]+|ld-linux[-a-z0-9_.]*\\.so\\.[0-9]+)$")
    message(FATAL_ERROR "libQuillar needs ${lib}; only the C library is allowed")
  endif()
endforeach()
if(NOT needed)
  message(FATAL_ERROR "no NEEDED entry found in ${LIBRARY}")
endif()
message(STATUS "NEEDED: ${needed}")
