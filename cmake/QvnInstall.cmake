# Install rules, in three install components:
#   engine  the engine's libraries, public headers and CMake package, for a program that links it:
#           find_package(Velune) then target_link_libraries(app PRIVATE Velune::qvn_client);
#           needs no Qt. With it the TDLib the project ships, in lib/velune/ (the package's
#           Velune_TDJSON_LIBRARY names the file).
#   qt      the Qt adapter (when it is built), an optional component of the package:
#           find_package(Velune COMPONENTS Qt) then Velune::qvn_qt
#   window  the program, its TDLib, desktop entry, icons and AppStream metadata
#           (app/CMakeLists.txt); cmake/QvnPackage.cmake makes it a Debian package
# cmake --install build --component engine installs the engine alone; without --component,
# everything.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The public headers: client/qvnLibs.h and what it includes, the headers of the errors the client
# reports (a database folder it cannot lock, too few descriptors), the JSON library's two headers and
# the Qt adapter's. The client's private state (client/qvnTelegram_ClientPrivate.h and what only
# it includes), the request builders, the TDLib binding and the JSON library's internals stay
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
  client/qvnTelegram_AnswerHandle.h
  client/qvnTelegram_Await.h
  client/qvnTelegram_DatabaseFolder.h
  client/qvnTelegram_Descriptors.h
  client/qvnTelegram_Invoice.h
  client/qvnTelegram_Library.h
  client/qvnTelegram_Options.h
  client/qvnTelegram_Reading.h
  client/qvnTelegram_Records.h
  client/qvnTelegram_ReplyMarkup.h
  client/qvnTelegram_RichText.h
  client/qvnTelegram_Types.h
  client/qvnTelegram_Updates.h
)
set(qvn_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Velune)
install(TARGETS ${qvn_engine_targets} EXPORT VeluneTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT engine
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velune)
foreach(header ${qvn_public_headers})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header}
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velune/${folder} COMPONENT engine)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/generated/client/qvnTelegram_Views.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velune/client COMPONENT engine)
install(EXPORT VeluneTargets NAMESPACE Velune:: DESTINATION ${qvn_cmake_dir} COMPONENT engine)
if(TARGET qvn_qt)
  install(TARGETS qvn_qt EXPORT VeluneQtTargets
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT qt
          INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velune)
  install(FILES ${PROJECT_SOURCE_DIR}/qt/qvnMainThreadPump.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velune/qt COMPONENT qt)
  install(EXPORT VeluneQtTargets NAMESPACE Velune:: DESTINATION ${qvn_cmake_dir} COMPONENT qt)
endif()
# TDLib, where the window's run path and the package's Velune_TDJSON_LIBRARY find it.
set(QVN_TDJSON_INSTALL_FILE ${CMAKE_INSTALL_LIBDIR}/velune/libtdjson.so)
if(EXISTS "${QVN_TDJSON_LIBRARY}")
  install(FILES "${QVN_TDJSON_LIBRARY}" DESTINATION ${CMAKE_INSTALL_LIBDIR}/velune
          RENAME libtdjson.so COMPONENT engine)
endif()
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VeluneConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/VeluneConfig.cmake
  INSTALL_DESTINATION ${qvn_cmake_dir}
  PATH_VARS QVN_TDJSON_INSTALL_FILE)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VeluneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VeluneConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/VeluneConfigVersion.cmake
        DESTINATION ${qvn_cmake_dir} COMPONENT engine)
