# cmake -DQVN_BUILD_DIR=... -DQVN_WORK_DIR=... -P this
# Builds the window's Debian package from QVN_BUILD_DIR, checks that it declares its library
# dependencies and holds the program, its TDLib, desktop entry, icon and AppStream metadata,
# unpacks it into a clean folder (dpkg-deb -x, no root needed) and starts the unpacked program
# offscreen: it must come up (make its settings folder) and still run five seconds later.
file(REMOVE_RECURSE "${QVN_WORK_DIR}")
file(MAKE_DIRECTORY "${QVN_WORK_DIR}")

include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

run(cpack --config "${QVN_BUILD_DIR}/CPackConfig.cmake" -B "${QVN_WORK_DIR}/out")
file(GLOB packages "${QVN_WORK_DIR}/out/velune-telegram_*.deb")
list(LENGTH packages count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one velune-telegram .deb, found: ${packages}")
endif()

run(dpkg-deb --field "${packages}" Depends)
foreach(dependency libqt6widgets6 qt6-qpa-plugins libc6 libstdc\\+\\+6)
  if(NOT output MATCHES "${dependency}")
    message(FATAL_ERROR "the package does not depend on ${dependency}: ${output}")
  endif()
endforeach()

set(root "${QVN_WORK_DIR}/root")
run(dpkg-deb -x "${packages}" "${root}")
foreach(file
    usr/bin/velune-telegram
    usr/lib/velune/libtdjson.so
    usr/share/applications/velune-telegram.desktop
    usr/share/icons/hicolor/scalable/apps/velune-telegram.svg
    usr/share/metainfo/org.velune.telegram.metainfo.xml)
  if(NOT EXISTS "${root}/${file}")
    message(FATAL_ERROR "the package lacks ${file}")
  endif()
endforeach()
if(EXISTS "${root}/usr/include")
  message(FATAL_ERROR "the window's package carries the engine's headers")
endif()

# Started as a user would, with a home of its own: it runs until stopped.
set(home "${QVN_WORK_DIR}/home")
file(MAKE_DIRECTORY "${home}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=XDG_CONFIG_HOME --unset=XDG_DATA_HOME
          HOME=${home} QT_QPA_PLATFORM=offscreen
          timeout 5 "${root}/usr/bin/velune-telegram"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 124)
  message(FATAL_ERROR "the unpacked program ended (${result}) instead of running:\n${output}")
endif()
if(NOT IS_DIRECTORY "${home}/.config/velune")
  message(FATAL_ERROR "the unpacked program did not come up to its window:\n${output}")
endif()
