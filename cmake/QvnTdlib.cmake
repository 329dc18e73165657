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

# The TDLib releases the release tests run the engine against, each in a test process of its
# own (several libtdjson.so cannot share a process: same symbols). They are the shipped release
# (QVN_TDJSON_LIBRARY) and every package of third_party/tdlib-releases/package.json, which pins
# release R as the npm package "tdlib-R"; scripts/setup installs them, git-ignored.
#   qvn_tdlib_releases(out)             the release names, the shipped one last;
#   qvn_add_tdlib_release_tests(target) registers one CTest test per release, named
#                                       <target>_<release>, that runs target with that release.
# A test process learns its release from QVN_TDLIB_RELEASE and the folders where that release's
# libtdjson.so may sit from QVN_TDLIB_FOLDERS (a ":"-separated list); LD_LIBRARY_PATH names
# the same folders, so the engine's bare-name load finds that release and no other. target must
# have no run path of its own ($ORIGIN would be searched first).
set(QVN_SHIPPED_TDLIB_RELEASE "1.8.67")
set(QVN_TDLIB_RELEASES_DIR "${PROJECT_SOURCE_DIR}/third_party/tdlib-releases")

function(qvn_tdlib_releases out)
  file(READ "${QVN_TDLIB_RELEASES_DIR}/package.json" pins)
  string(REGEX MATCHALL "\"tdlib-[0-9.]+\"" names "${pins}")
  set(releases "")
  foreach(name IN LISTS names)
    string(REGEX REPLACE "\"tdlib-([0-9.]+)\"" "\\1" release "${name}")
    list(APPEND releases "${release}")
  endforeach()
  list(APPEND releases "${QVN_SHIPPED_TDLIB_RELEASE}")
  set(${out} "${releases}" PARENT_SCOPE)
endfunction()

function(qvn_add_tdlib_release_tests target)
  qvn_tdlib_releases(releases)
  foreach(release IN LISTS releases)
    if(release STREQUAL QVN_SHIPPED_TDLIB_RELEASE)
      get_filename_component(folders "${QVN_TDJSON_LIBRARY}" DIRECTORY)
    else()
      # The package root, or prebuilds/ in the oldest packages.
      set(package "${QVN_TDLIB_RELEASES_DIR}/node_modules/tdlib-${release}")
      set(folders "${package}:${package}/prebuilds/tdlib-linux-x64")
    endif()
    add_test(NAME ${target}_${release} COMMAND ${target})
    set_tests_properties(${target}_${release} PROPERTIES ENVIRONMENT
      "QVN_TDLIB_RELEASE=${release};QVN_TDLIB_FOLDERS=${folders};LD_LIBRARY_PATH=${folders}")
  endforeach()
endfunction()
