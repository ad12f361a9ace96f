# SPDX-License-Identifier: BSD-2-Clause
# What `cmake --install` puts under the prefix, by component:
#   runtime      lib/<multiarch>/libQuillar.so.<version> and its SONAME link
#   development  include/quillar/*.h, the libQuillar.so link, quillar.pc and
#                the CMake package (find_package(Quillar) -> Quillar::Quillar)
#   tools        bin/quillar, the command-line host
#   licence      share/doc/Quillar/LICENSE (the Debian packages carry the
#                licence in their own copyright files instead)
include(CMakePackageConfigHelpers)

install(TARGETS Quillar EXPORT QuillarTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/quillar
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
  FILES_MATCHING PATTERN "*.h")

# The CMake package: an imported target with the include directory and the
# library; the version file accepts requests for the same major version on
# the same pointer size.
set(QUILLAR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quillar)
install(EXPORT QuillarTargets NAMESPACE Quillar:: DESTINATION ${QUILLAR_CMAKE_DIR}
  COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QuillarConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QuillarConfig.cmake INSTALL_DESTINATION ${QUILLAR_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuillarConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuillarConfig.cmake ${PROJECT_BINARY_DIR}/QuillarConfigVersion.cmake
  DESTINATION ${QUILLAR_CMAKE_DIR} COMPONENT development)

# quillar.pc finds its prefix from its own location, so an installed tree
# (or an unpacked package) can be moved and still be used.
# (An absolute libdir or includedir is written as it is.)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(QUILLAR_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH QUILLAR_PC_UP /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
  string(REGEX REPLACE "/$" "" QUILLAR_PC_UP "${QUILLAR_PC_UP}")
  set(QUILLAR_PC_PREFIX "\${pcfiledir}/${QUILLAR_PC_UP}")
endif()
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(QUILLAR_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(QUILLAR_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/quillar.pc.in ${PROJECT_BINARY_DIR}/quillar.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quillar.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT licence)
