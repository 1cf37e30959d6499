# Installs the built plugin as a user would and checks where it lands:
# lib/vst, the LV2 bundle in lib/lv2 and the factory presets' program files
# in PRESETS_DIR below the prefix for a full install, ~/.vst and ~/.lv2 for
# the user component, never both at once.
#   cmake -DBUILD_DIR=... -DLIBRARY=name.so -DLV2_BUNDLE=name.lv2 -DLV2_BINARY=name.so
#         -DLV2_DESCRIPTION=name.ttl -DLV2_PRESETS=presets.ttl "-DPRESETS=a.fxp b.fxp"
#         -DPRESETS_DIR=share/name/presets -DWORK_DIR=... -P check_install.cmake

file(REMOVE_RECURSE "${WORK_DIR}")

function(install_into prefix)
  execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}" ${ARGN}
                  RESULT_VARIABLE result OUTPUT_QUIET)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install ${ARGN} into ${prefix} failed")
  endif()
endfunction()

function(expect_file path)
  if(NOT EXISTS "${path}")
    message(SEND_ERROR "not installed: ${path}")
  endif()
endfunction()

function(expect_no_file path)
  if(EXISTS "${path}")
    message(SEND_ERROR "installed where it should not be: ${path}")
  endif()
endfunction()

function(expect_bundle dir)
  foreach(file ${LV2_BINARY} manifest.ttl ${LV2_DESCRIPTION} ${LV2_PRESETS})
    expect_file("${dir}/${LV2_BUNDLE}/${file}")
  endforeach()
endfunction()

install_into("${WORK_DIR}/usr-local")
expect_file("${WORK_DIR}/usr-local/lib/vst/${LIBRARY}")
expect_bundle("${WORK_DIR}/usr-local/lib/lv2")
separate_arguments(PRESETS)
foreach(file ${PRESETS})
  expect_file("${WORK_DIR}/usr-local/${PRESETS_DIR}/${file}")
endforeach()
expect_no_file("${WORK_DIR}/usr-local/.vst/${LIBRARY}")
expect_no_file("${WORK_DIR}/usr-local/.lv2")

install_into("${WORK_DIR}/home" --component user)
expect_file("${WORK_DIR}/home/.vst/${LIBRARY}")
expect_bundle("${WORK_DIR}/home/.lv2")
expect_no_file("${WORK_DIR}/home/lib/vst/${LIBRARY}")
expect_no_file("${WORK_DIR}/home/lib/lv2")
expect_no_file("${WORK_DIR}/home/bin/trimhost")

file(REMOVE_RECURSE "${WORK_DIR}")
