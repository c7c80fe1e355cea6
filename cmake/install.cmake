# Installation: library, headers (registered by webjson_public_headers), CMake package and
# pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS webjson EXPORT webjsonTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT webjsonTargets NAMESPACE webjson::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/webjson)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/webjsonConfig.cmake.in
  ${PROJECT_BINARY_DIR}/webjsonConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/webjson)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/webjsonConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/webjsonConfig.cmake
              ${PROJECT_BINARY_DIR}/webjsonConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/webjson)

# pkg-config: a static build also needs the thread library.
set(WEBJSON_PC_LIBS_PRIVATE "-pthread")
# Relocatable: webjson.pc finds the prefix from its own folder (libdir may be lib/<multiarch>).
file(RELATIVE_PATH WEBJSON_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" WEBJSON_PC_TO_PREFIX "${WEBJSON_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/webjson.pc.in ${PROJECT_BINARY_DIR}/webjson.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/webjson.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(TARGET webjson_simserver)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/webjson-simserver.pc.in
                 ${PROJECT_BINARY_DIR}/webjson-simserver.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/webjson-simserver.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()

# The view vocabularies as JSON Schema, with their TypeScript types, for the views' developers.
file(GLOB WEBJSON_SCHEMAS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/schema/*.schema.json)
file(GLOB WEBJSON_SCHEMA_TYPES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/schema/types/*.d.ts)
install(FILES ${WEBJSON_SCHEMAS} DESTINATION ${CMAKE_INSTALL_DATADIR}/webjson/schema)
install(FILES ${WEBJSON_SCHEMA_TYPES} DESTINATION ${CMAKE_INSTALL_DATADIR}/webjson/schema/types)
