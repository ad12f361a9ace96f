# SPDX-License-Identifier: BSD-2-Clause
# Cross build for 64-bit ARM Linux with Debian's cross toolchain
# (g++-aarch64-linux-gnu). Test programs run under qemu-user with the cross
# sysroot, so ctest exercises the aarch64 code on an x86-64 machine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(QUILLAR_CROSS_TRIPLE aarch64-linux-gnu)
set(QUILLAR_CROSS_SYSROOT /usr/${QUILLAR_CROSS_TRIPLE})

set(CMAKE_C_COMPILER ${QUILLAR_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${QUILLAR_CROSS_TRIPLE}-g++)
# The ABI checks inspect the library with these; name them rather than rely
# on CMake deriving them from the compiler's prefix.
find_program(CMAKE_NM NAMES ${QUILLAR_CROSS_TRIPLE}-nm REQUIRED)
find_program(CMAKE_READELF NAMES ${QUILLAR_CROSS_TRIPLE}-readelf REQUIRED)
find_program(CMAKE_OBJDUMP NAMES ${QUILLAR_CROSS_TRIPLE}-objdump)
find_program(CMAKE_STRIP NAMES ${QUILLAR_CROSS_TRIPLE}-strip)

# Headers, libraries and packages come from the target's trees only (the
# cross sysroot, plus any staging roots given with -DCMAKE_FIND_ROOT_PATH);
# programs (ffmpeg, pkg-config, ...) from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH ${QUILLAR_CROSS_SYSROOT})
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest and gtest_discover_tests run target programs through this.
find_program(QUILLAR_QEMU NAMES qemu-aarch64 qemu-aarch64-static)
if(QUILLAR_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLAR_QEMU} -L ${QUILLAR_CROSS_SYSROOT})
endif()
