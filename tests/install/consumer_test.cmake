# cmake -DQVN_BUILD_DIR=... -DQVN_EXAMPLES_DIR=... -DQVN_WORK_DIR=... -DQVN_GENERATOR=...
#       -DQVN_WITH_QT=0|1 -P this
# Installs the engine component alone from QVN_BUILD_DIR into QVN_WORK_DIR/prefix and builds the
# examples against that prefix only: the console example builds and runs (it prints its usage
# and the package's TDLib it loads), no Qt is looked for, and nothing of the window is installed. Then, when the build has the Qt
# adapter, installs its component too and builds the Qt example as well.
file(REMOVE_RECURSE "${QVN_WORK_DIR}")
set(prefix "${QVN_WORK_DIR}/prefix")

include(${CMAKE_CURRENT_LIST_DIR}/run_step.cmake)

function(build_examples folder)
  run(${CMAKE_COMMAND} -S "${QVN_EXAMPLES_DIR}" -B "${folder}" -G "${QVN_GENERATOR}"
      -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_PREFIX_PATH=${prefix}")
  run(${CMAKE_COMMAND} --build "${folder}")
endfunction()

run(${CMAKE_COMMAND} --install "${QVN_BUILD_DIR}" --prefix "${prefix}" --component engine)
foreach(window_file bin/velune-telegram share/applications/velune-telegram.desktop)
  if(EXISTS "${prefix}/${window_file}")
    message(FATAL_ERROR "the engine component installed the window's ${window_file}")
  endif()
endforeach()
build_examples("${QVN_WORK_DIR}/engine")
execute_process(COMMAND "${QVN_WORK_DIR}/engine/velune-ping-bot" RESULT_VARIABLE result
                ERROR_VARIABLE usage)
if(NOT result EQUAL 2 OR NOT usage MATCHES "usage: .*velune-ping-bot API_ID API_HASH BOT_TOKEN")
  message(FATAL_ERROR "the consumer's example did not run as built (${result}): ${usage}")
endif()
# The package ships TDLib and the example loads that file.
string(REGEX MATCH "TDLib: ([^\n]*)" tdlib_line "${usage}")
if(NOT CMAKE_MATCH_1 MATCHES "^${prefix}/.*/libtdjson.so$" OR NOT EXISTS "${CMAKE_MATCH_1}")
  message(FATAL_ERROR "the consumer's example does not load the package's TDLib: ${usage}")
endif()
file(STRINGS "${QVN_WORK_DIR}/engine/CMakeCache.txt" qt_entries REGEX "^Qt6_DIR:")
if(EXISTS "${QVN_WORK_DIR}/engine/velune-qt-status" OR qt_entries)
  message(FATAL_ERROR "the engine alone looked for Qt or built the Qt example")
endif()

if(QVN_WITH_QT)
  run(${CMAKE_COMMAND} --install "${QVN_BUILD_DIR}" --prefix "${prefix}" --component qt)
  build_examples("${QVN_WORK_DIR}/with-qt")
  if(NOT EXISTS "${QVN_WORK_DIR}/with-qt/velune-qt-status")
    message(FATAL_ERROR "the Qt component gave no Qt adapter: velune-qt-status was not built")
  endif()
endif()
