# SPDX-License-Identifier: BSD-2-Clause
# Every public header must compile on its own as plain C.
file(GLOB headers ${INCLUDE_DIR}/quillar/*.h)
file(MAKE_DIRECTORY ${WORK_DIR})
foreach(h IN LISTS headers)
  get_filename_component(name ${h} NAME_WE)
  set(src ${WORK_DIR}/${name}.c)
  file(WRITE ${src} "#include <quillar/${name}.h>\n#include <quillar/${name}.h>\nint main(void) { return 0; }\n")
  execute_process(COMMAND ${CC} -std=c99 -Wall -Wextra -Werror -pedantic -fsyntax-only -I${INCLUDE_DIR} ${src}
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "quillar/${name}.h does not compile alone as C:\n${err}")
  endif()
endforeach()
list(LENGTH headers n)
message(STATUS "${n} public headers compile alone as C")
