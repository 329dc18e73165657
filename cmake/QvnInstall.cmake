# Install rules for the engine and, when it is built, its Qt adapter, so another program can
# link them:
#   find_package(Velune) then target_link_libraries(app PRIVATE Velune::qvn_client)
#   (and Velune::qvn_qt for the Qt adapter, when the package has it)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(qvn_engine_targets qvn_json qvn_base qvn_client)
set(qvn_header_folders json base client)
set(QVN_PACKAGE_HAS_QT OFF)
if(TARGET qvn_qt)
  list(APPEND qvn_engine_targets qvn_qt)
  list(APPEND qvn_header_folders qt)
  set(QVN_PACKAGE_HAS_QT ON)
endif()
install(TARGETS ${qvn_engine_targets} EXPORT VeluneTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velune)
foreach(area ${qvn_header_folders})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${area}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velune/${area}
          FILES_MATCHING PATTERN "*.h")
endforeach()
install(EXPORT VeluneTargets NAMESPACE Velune:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Velune)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VeluneConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/VeluneConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Velune)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VeluneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VeluneConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/VeluneConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Velune)
