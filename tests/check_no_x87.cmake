# Checks that the audio path of a Windows build runs no x87 instruction: on
# 32-bit x86 a value moved through the x87 stack passes through memory, and
# mingw-w64's headers define some math functions as x87 code. Covered are the
# record's processing functions and everything they run per frame. The block
# preamble's calls to the time services are left out: the 32-bit calling
# convention returns their doubles on the x87 stack, once per block.
#   cmake -DPLUGIN=x.dll -DOBJDUMP=objdump -P check_no_x87.cmake
cmake_minimum_required(VERSION 3.25)

# Names in the demangled listing; the first two are reached only through
# pointers, so they are never inlined away and must be found.
set(required "processBlockOf" "mixGroups")
set(processing ${required}
  "processReplacingEffect" "processDoubleReplacingEffect" "CQuobe::processReplacing"
  "CQuobe::processDoubleReplacing" "runFrames" "TTovraEffect::runGroups")

execute_process(COMMAND ${OBJDUMP} -d -C --no-show-raw-insn ${PLUGIN} OUTPUT_VARIABLE listing
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot disassemble ${PLUGIN}")
endif()
string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")

set(function "")
set(checked "")
set(x87 "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-f]+ <(.*)>:$")
    set(function "${CMAKE_MATCH_1}")
    set(in_processing FALSE)
    foreach(name IN LISTS processing)
      string(FIND "${function}" "${name}" at)
      if(NOT at EQUAL -1)
        set(in_processing TRUE)
        list(APPEND checked "${name}")
      endif()
    endforeach()
  elseif(in_processing AND line MATCHES "\tf[a-z0-9]+ ")
    list(APPEND x87 "${function}: ${line}")
  endif()
endforeach()

foreach(name IN LISTS required)
  if(NOT name IN_LIST checked)
    message(SEND_ERROR "no function ${name} in ${PLUGIN}: the check would check nothing")
  endif()
endforeach()
if(x87)
  list(LENGTH x87 count)
  list(SUBLIST x87 0 5 first)
  message(SEND_ERROR "${count} x87 instructions in the audio path of ${PLUGIN}, such as:\n${first}")
endif()
