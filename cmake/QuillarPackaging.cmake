# SPDX-License-Identifier: BSD-2-Clause
# Debian packages, one per install component, for the architecture this build
# targets (amd64 natively, arm64 with the cross toolchain):
#   libquillar0     the shared library, with the shlibs and symbols files and
#                   the ldconfig trigger in its control area
#   libquillar-dev  headers, pkg-config file, CMake package
#   quillar         the command-line host
# Each carries /usr/share/doc/<package>/copyright (machine-readable, made from
# LICENSE) and changelog.Debian.gz (made from cmake/debian/changelog.in), so
# that lintian accepts them (.ci/check-debs.sh runs it).
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

find_program(QUILLAR_GZIP gzip)
if(NOT QUILLAR_GZIP)
  message(STATUS "no gzip to compress the Debian changelog: packages not configured")
  return()
endif()

# The maintainer, in one place: the packages' Maintainer field, the changelog
# trailer and the copyright file's Upstream-Contact.
set(QUILLAR_DEFAULT_MAINTAINER "Quillar Developers <quillar-devel@lists.quillar.org>")
set(QUILLAR_PACKAGE_MAINTAINER "${QUILLAR_DEFAULT_MAINTAINER}" CACHE STRING
  "Maintainer of the .deb packages, as \"Name <address>\"")
if(QUILLAR_PACKAGE_MAINTAINER STREQUAL "Quillar maintainers <quillar@localhost>")
  # The former default, kept in build trees configured before it changed.
  set_property(CACHE QUILLAR_PACKAGE_MAINTAINER PROPERTY VALUE "${QUILLAR_DEFAULT_MAINTAINER}")
endif()
if(NOT QUILLAR_PACKAGE_MAINTAINER MATCHES "^[^<>@]*[^<>@ ] <[^<>@ ]+@[^<>@ ]+\\.[^<>@ ]+>$")
  message(FATAL_ERROR "QUILLAR_PACKAGE_MAINTAINER must read \"Name <user@host.domain>\", "
    "not \"${QUILLAR_PACKAGE_MAINTAINER}\"")
endif()

set(CPACK_PACKAGE_NAME quillar)
set(CPACK_PACKAGE_VENDOR Quillar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUILLAR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLAR_PACKAGE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
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
set(QUILLAR_DEB_RELEASE 1)
set(QUILLAR_DEB_VERSION ${PROJECT_VERSION}-${QUILLAR_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QUILLAR_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE quillar)
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

# The control area and the documents every Debian package carries, written to
# build/debian/ when the build is configured.
set(QUILLAR_DEB_DIR ${PROJECT_BINARY_DIR}/debian)
set(QUILLAR_DEB_SONAME libQuillar.so.${PROJECT_VERSION_MAJOR})

# copyright: the licence text of LICENSE in Debian's machine-readable format.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE QUILLAR_LICENCE)
if(NOT QUILLAR_LICENCE MATCHES "Copyright \\(c\\) ([^\n]+)")
  message(FATAL_ERROR "LICENSE has no \"Copyright (c) ...\" line")
endif()
set(QUILLAR_COPYRIGHT "${CMAKE_MATCH_1}")
string(FIND "${QUILLAR_LICENCE}" "Redistribution and use" QUILLAR_LICENCE_START)
string(SUBSTRING "${QUILLAR_LICENCE}" ${QUILLAR_LICENCE_START} -1 QUILLAR_LICENCE_TEXT)
string(STRIP "${QUILLAR_LICENCE_TEXT}" QUILLAR_LICENCE_TEXT)
string(REPLACE "\n\n" "\n.\n" QUILLAR_LICENCE_TEXT "${QUILLAR_LICENCE_TEXT}")
string(REPLACE "\n" "\n " QUILLAR_LICENCE_TEXT " ${QUILLAR_LICENCE_TEXT}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${QUILLAR_DEB_DIR}/copyright @ONLY)

# changelog.Debian.gz: the newest entry carries the package version. (A new
# release adds an entry above it with @QUILLAR_DEB_VERSION@ and writes the
# version it replaces into the older one.) gzip -n: no name or time stamp,
# so the packages come out the same on every build.
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${QUILLAR_DEB_DIR}/changelog.Debian @ONLY)
execute_process(COMMAND ${QUILLAR_GZIP} -9n -c ${QUILLAR_DEB_DIR}/changelog.Debian
  OUTPUT_FILE ${QUILLAR_DEB_DIR}/changelog.Debian.gz RESULT_VARIABLE QUILLAR_GZIP_RESULT)
if(NOT QUILLAR_GZIP_RESULT EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${QUILLAR_DEB_DIR}/changelog.Debian")
endif()

# symbols: every name of the export list (abi/exports/*.txt, read as
# src/CMakeLists.txt reads it for the version script), each with this upstream
# version, so a package built against this one depends on at least this
# version. shlibs says the same for tools that do not read symbols files.
# The ldconfig trigger refreshes the loader cache after install and removal.
include(${PROJECT_SOURCE_DIR}/cmake/QuillarExports.cmake)
quillar_read_exports(QUILLAR_DEB_SYMBOLS ${PROJECT_SOURCE_DIR}/abi/exports)
set(QUILLAR_DEB_RUNTIME ${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME})
set(symbols "${QUILLAR_DEB_SONAME} ${QUILLAR_DEB_RUNTIME} #MINVER#\n")
string(APPEND symbols "* Build-Depends-Package: ${CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME}\n")
foreach(name IN LISTS QUILLAR_DEB_SYMBOLS)
  string(APPEND symbols " ${name}@Base ${PROJECT_VERSION}\n")
endforeach()
file(WRITE ${QUILLAR_DEB_DIR}/symbols "${symbols}")
file(WRITE ${QUILLAR_DEB_DIR}/shlibs
  "libQuillar ${PROJECT_VERSION_MAJOR} ${QUILLAR_DEB_RUNTIME} (>= ${PROJECT_VERSION})\n")
file(WRITE ${QUILLAR_DEB_DIR}/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${QUILLAR_DEB_DIR}/shlibs ${QUILLAR_DEB_DIR}/symbols ${QUILLAR_DEB_DIR}/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Each package's documents and lintian overrides, installed only when a
# component is installed on its own (as cpack does for each package), not by a
# plain `cmake --install`.
# The one override: lintian wants Debian's first upload of a package to close
# the archive's "intent to package" bug; these packages are not uploaded to
# Debian, and no such bug exists.
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  file(WRITE ${QUILLAR_DEB_DIR}/${package}.lintian-overrides
    "# Not uploaded to Debian: no \"intent to package\" bug for the first entry to close.\n"
    "${package}: initial-upload-closes-no-bugs [usr/share/doc/${package}/changelog.Debian.gz:1]\n")
  install(FILES ${QUILLAR_DEB_DIR}/copyright ${QUILLAR_DEB_DIR}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
  install(FILES ${QUILLAR_DEB_DIR}/${package}.lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${package}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

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
