# SPDX-License-Identifier: BSD-2-Clause
# The layers' allowed includes: formats (src/parsers, src/demux) build on
# src/format, src/core and src/containers, never on the front end (src/api);
# src/format, src/core and src/containers include neither the formats nor the
# front end. Run with -DSOURCE_DIR=<repository>/src.
set(violations "")
function(check_layer folder forbidden_regex)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(${forbidden_regex})/")
    foreach(line IN LISTS lines)
      file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
      list(APPEND violations "${name}: ${line}")
    endforeach()
  endforeach()
  set(violations ${violations} PARENT_SCOPE)
endfunction()
check_layer(parsers "api")
check_layer(demux "api")
check_layer(format "api|parsers|demux")
check_layer(core "api|parsers|demux|format")
check_layer(containers "api|parsers|demux|format")
if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "includes across the layers:\n  ${text}")
endif()
