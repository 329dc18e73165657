# cmake -DQVN_BUILD_DIR=... -DQVN_EXAMPLES_DIR=... -DQVN_WORK_DIR=... -DQVN_GENERATOR=...
#       -DQVN_WITH_QT=0|1 -P this
# Installs the engine from QVN_BUILD_DIR into QVN_WORK_DIR/prefix, builds the examples against
# that prefix only (the Qt one too when the package has the Qt adapter), and runs the console
# example without arguments (it prints its usage).
file(REMOVE_RECURSE "${QVN_WORK_DIR}")
set(prefix "${QVN_WORK_DIR}/prefix")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${output}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install "${QVN_BUILD_DIR}" --prefix "${prefix}")
run(${CMAKE_COMMAND} -S "${QVN_EXAMPLES_DIR}" -B "${QVN_WORK_DIR}/build" -G "${QVN_GENERATOR}"
    -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_PREFIX_PATH=${prefix}")
run(${CMAKE_COMMAND} --build "${QVN_WORK_DIR}/build")

execute_process(COMMAND "${QVN_WORK_DIR}/build/velune-ping-bot" RESULT_VARIABLE result
                ERROR_VARIABLE usage)
if(NOT result EQUAL 2 OR NOT usage MATCHES "usage: .*velune-ping-bot API_ID API_HASH BOT_TOKEN")
  message(FATAL_ERROR "the consumer's example did not run as built (${result}): ${usage}")
endif()
if(QVN_WITH_QT AND NOT EXISTS "${QVN_WORK_DIR}/build/velune-qt-status")
  message(FATAL_ERROR "the installed package has no Qt adapter: velune-qt-status was not built")
endif()
