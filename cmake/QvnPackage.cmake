# The Debian package of the window: cpack -G DEB in the build folder writes
# velune-telegram_<version>_<arch>.deb with the install component "window" (the program, its
# TDLib, desktop entry, icons and AppStream metadata) under /usr, its library dependencies found
# by dpkg-shlibdeps. tests/install/package_test.cmake builds, unpacks and starts it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velune-telegram)
set(CPACK_PACKAGE_VENDOR "Velune")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop Telegram client for one account")
set(CPACK_PACKAGE_DESCRIPTION
  "A desktop Telegram client for one account, built on TDLib, which ships inside the package.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL window)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velune developers <velune@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# Qt and the C++ runtime for the program, the C runtime for TDLib (loaded at run time, so not
# among the program's own dependencies; it brings its other libraries inside it).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's platform plugins (xcb, wayland) are no library the program links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
