# Installs the trimhost component alone into an empty prefix, as a user
# would, and runs the installed program: the component must be bin/trimhost,
# its manual page and its bash completion, nothing else, and the program must
# start on its own.
#   cmake -DBUILD_DIR=... -DPREFIX=... -DVERSION=... -P check_trimhost_install.cmake

file(REMOVE_RECURSE "${PREFIX}")
execute_process(
  COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}" --component trimhost
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install --component trimhost into ${PREFIX} failed")
endif()

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
set(expected bin/trimhost share/bash-completion/completions/trimhost share/man/man1/trimhost.1)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "the trimhost component should install ${expected}, "
                      "but installed: ${installed}")
endif()

execute_process(COMMAND "${PREFIX}/bin/trimhost" --version
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT output STREQUAL "trimhost ${VERSION}\n")
  message(FATAL_ERROR "the installed trimhost --version gave status ${result}, "
                      "'${output}' and '${errors}', not 'trimhost ${VERSION}'")
endif()

file(REMOVE_RECURSE "${PREFIX}")
