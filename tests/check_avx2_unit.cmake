# Checks the AVX2 unit of a 64-bit build: it defines nothing but its one
# function, so no AVX2 copy of an inline function can replace a baseline copy
# when the plugin is linked; and, for Windows, the plugin moves no 256-bit
# value with an aligned move, since the stack there is aligned to 16 bytes only.
#   cmake -DOBJECTS=a.o;b.o -DNM=nm [-DPLUGIN=x.dll -DOBJDUMP=objdump] -P check_avx2_unit.cmake
list(FILTER OBJECTS INCLUDE REGEX "downmix_groups_avx2")
if(NOT OBJECTS)
  message(FATAL_ERROR "no object of the AVX2 unit among the effect's objects")
endif()
execute_process(COMMAND ${NM} -C --defined-only ${OBJECTS} OUTPUT_VARIABLE symbols
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot list the symbols of ${OBJECTS}")
endif()
# Global code (T) and weak code (W); weak data (V), such as the type
# information a sanitizer emits, cannot replace any code.
string(REGEX MATCHALL "[^\n]* [TW] [^\n]*" code "${symbols}")
list(FILTER code EXCLUDE REGEX "downmixGroupFormsAvx2\\(\\)$")
if(code)
  message(SEND_ERROR "the AVX2 unit defines code others could link to: ${code}")
endif()

if(PLUGIN)
  execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${PLUGIN} OUTPUT_VARIABLE listing
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot disassemble ${PLUGIN}")
  endif()
  string(REGEX MATCHALL "vmovap[sd][^\n]*%ymm[^\n]*" aligned "${listing}")
  if(aligned)
    list(LENGTH aligned count)
    message(SEND_ERROR "${PLUGIN} has ${count} aligned 256-bit moves, such as: ${aligned}")
  endif()
endif()
