# Debian packages, one per install component, for the architecture this build
# targets (amd64 natively, arm64 with the cross toolchain):
#   libquillar0     the shared library
#   libquillar-dev  headers, pkg-config file, CMake package
#   quillar         the command-line host
# Depends is worked out when cpack runs, from the GLIBC symbol versions the
# built binaries need (see QuillarDebDepends.cmake.in): dpkg-shlibdeps cannot
# look at an arm64 library on an amd64 machine without arm64 packages
# installed, and this gives the same "libc6 (>= 2.x)" on both.
set(QUILLAR_DEB_ARCH_amd64 "^(x86_64|AMD64|amd64)$")
set(QUILLAR_DEB_ARCH_arm64 "^(aarch64|arm64|ARM64)$")
set(QUILLAR_DEB_ARCH_armhf "^(arm|armv7l|armv7-a)$")
set(QUILLAR_DEB_ARCH_i386 "^(i[3-6]86|x86)$")
set(QUILLAR_DEB_ARCH "")
foreach(arch amd64 arm64 armhf i386)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "${QUILLAR_DEB_ARCH_${arch}}")
    set(QUILLAR_DEB_ARCH ${arch})
  endif()
endforeach()
if(NOT QUILLAR_DEB_ARCH)
  message(STATUS "no Debian architecture known for ${CMAKE_SYSTEM_PROCESSOR}: packages not configured")
  return()
endif()

set(QUILLAR_PACKAGE_MAINTAINER "Quillar maintainers <quillar@localhost>" CACHE STRING
  "Maintainer field of the .deb packages")

set(CPACK_PACKAGE_NAME quillar)
set(CPACK_PACKAGE_VENDOR Quillar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUILLAR_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "video file to decoder-item parser for hardware video decoder hosts")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime development)
if(TARGET quillar)
  list(APPEND CPACK_COMPONENTS_ALL tools)
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${QUILLAR_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libquillar${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "Quillar shared library\n libQuillar turns a compressed video file (VC-1 in RCV or ASF, RealVideo\n in RealMedia, AVI, VP6, VP8/VP9 in IVF or WebP) into the items a hardware\n video decoder consumes. It needs nothing but the C library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libquillar-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "Quillar development files\n C headers, pkg-config file (quillar) and CMake package\n (find_package(Quillar), target Quillar::Quillar) for libQuillar.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME quillar)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION video)
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "Quillar command-line host\n quillar runs video files through libQuillar the way a decoder host does\n and lists every item handed out, with its size and MD5.")

# Read by cpack before it builds the packages: fills in the libc6 dependency.
set(QUILLAR_DEB_READELF "${CMAKE_READELF}")
set(QUILLAR_DEB_TOOLS_DEPENDS "")
if(TARGET quillar)
  set(QUILLAR_DEB_TOOLS_DEPENDS
    "quillar_libc6_depends(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS \"$<TARGET_FILE:quillar>\")")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/QuillarDebDepends.cmake.in
  ${PROJECT_BINARY_DIR}/QuillarDebDepends.cmake.genex @ONLY)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/QuillarDebDepends.cmake
  INPUT ${PROJECT_BINARY_DIR}/QuillarDebDepends.cmake.genex)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/QuillarDebDepends.cmake)

include(CPack)
