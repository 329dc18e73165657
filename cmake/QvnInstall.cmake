# Install rules for the engine and, when it is built, its Qt adapter, so another program can
# link them:
#   find_package(Velune) then target_link_libraries(app PRIVATE Velune::qvn_client)
#   (and Velune::qvn_qt for the Qt adapter, when the package has it)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The public headers: client/qvnLibs.h and what it includes, the JSON library's two headers and
# the Qt adapter's. The request builders, the TDLib binding and the JSON library's internals stay
# inside (tests/install builds the examples against exactly this set).
set(qvn_engine_targets qvn_json qvn_base qvn_client)
set(qvn_public_headers
  json/qvnJSON.h
  json/qvnBase_Helpers.h
  base/qvnBase_Classes.h
  base/qvnIdThread.h
  base/qvnThreadSafety.h
  base/qvnWebSocket_Helpers.h
  base/qvnWebSocket_Types.h
  client/qvnLibs.h
  client/qvnLib_Telegram_Client.h
  client/qvnTelegram_Answer.h
  client/qvnTelegram_Connection.h
  client/qvnTelegram_DatabaseFolder.h
  client/qvnTelegram_Descriptors.h
  client/qvnTelegram_EventInbox.h
  client/qvnTelegram_Invoice.h
  client/qvnTelegram_Options.h
  client/qvnTelegram_PendingRequests.h
  client/qvnTelegram_Records.h
  client/qvnTelegram_ReplyMarkup.h
  client/qvnTelegram_Types.h
)
set(QVN_PACKAGE_HAS_QT OFF)
if(TARGET qvn_qt)
  list(APPEND qvn_engine_targets qvn_qt)
  list(APPEND qvn_public_headers qt/qvnMainThreadPump.h)
  set(QVN_PACKAGE_HAS_QT ON)
endif()
install(TARGETS ${qvn_engine_targets} EXPORT VeluneTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velune)
foreach(header ${qvn_public_headers})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velune/${folder})
endforeach()
install(EXPORT VeluneTargets NAMESPACE Velune:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Velune)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VeluneConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/VeluneConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Velune)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VeluneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VeluneConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/VeluneConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Velune)
