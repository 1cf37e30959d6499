# Checks the version resource of a Windows build of the plugin: who made it,
# what it is and which version, as Explorer and hosts' plugin managers show,
# against the identity the build was configured with.
#   cmake -DPLUGIN=path.dll -DVENDOR=... -DEFFECT_NAME=... -DVERSION=1.0.0.0
#         -P check_version_resource.cmake
cmake_policy(SET CMP0007 NEW)

# The resource's texts are UTF-16; binutils' strings reads them in order.
execute_process(COMMAND strings --encoding=l "${PLUGIN}"
                OUTPUT_VARIABLE output RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot read the texts of ${PLUGIN}")
endif()
string(REPLACE "\n" ";" texts "${output}")

set(expected
  "CompanyName" "${VENDOR}"
  "FileDescription" "${EFFECT_NAME}"
  "ProductName" "${EFFECT_NAME}"
  "FileVersion" "${VERSION}"
  "ProductVersion" "${VERSION}")

set(failures 0)
list(LENGTH expected count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET expected ${i} key)
  list(GET expected ${j} value)
  list(FIND texts "${key}" key_at)
  if(key_at EQUAL -1)
    message(SEND_ERROR "no ${key} in the version resource")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  math(EXPR value_at "${key_at} + 1")
  list(GET texts ${value_at} found)
  if(NOT found STREQUAL value)
    message(SEND_ERROR "${key} is '${found}', expected '${value}'")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

if(failures EQUAL 0)
  math(EXPR fields "${count} / 2")
  message(STATUS "version resource: ${fields} fields as expected")
endif()
