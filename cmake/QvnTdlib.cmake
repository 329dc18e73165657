# Where the TDLib JSON library sits at run time.
#
# The engine loads "libtdjson.so" by bare name, so the platform's search order
# decides which file is found. Every program that loads it gets a run path of
# its own folder ($ORIGIN) and finds the library placed beside it:
#   qvn_run_path_origin(target)  gives the target that run path; a target whose
#                                output folder is where the scripted fake TDLib
#                                (tests/fake_tdjson) is built then loads the fake;
#   qvn_use_real_tdjson(target)  does the same and copies the real TDLib beside
#                                the target.

function(qvn_run_path_origin target)
  set_target_properties(${target} PROPERTIES BUILD_RPATH "$ORIGIN" INSTALL_RPATH "$ORIGIN")
endfunction()

function(qvn_use_real_tdjson target)
  qvn_run_path_origin(${target})
  if(EXISTS "${QVN_TDJSON_LIBRARY}")
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different "${QVN_TDJSON_LIBRARY}" "$<TARGET_FILE_DIR:${target}>/libtdjson.so"
      VERBATIM)
  else()
    message(WARNING "TDLib not found at ${QVN_TDJSON_LIBRARY}; run scripts/setup")
  endif()
endfunction()
