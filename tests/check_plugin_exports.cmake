# Checks what the built plugin module shows a host's loader: it exports
# exactly MAIN, VSTPluginMain and main, with main another name for
# VSTPluginMain; a Windows DLL also keeps its export ordinals and imports only
# Windows system DLLs, since a user's machine has no compiler runtime. An LV2
# module (ENTRY_POINT=lv2_descriptor) exports exactly lv2_descriptor. Given
# GLIBC_MAX, a Linux module must also need only the C library, libm and the
# loader, at no symbol version above GLIBC_<GLIBC_MAX>: it carries its own
# C++ runtime and libgcc, and loads on every system with that C library.
#
#   cmake -DPLUGIN=<module> -DFORMAT=pe  -DOBJDUMP=<objdump> -P check_plugin_exports.cmake
#   cmake -DPLUGIN=<module> -DFORMAT=elf -DNM=<nm> [-DENTRY_POINT=lv2_descriptor]
#         [-DOBJDUMP=<objdump> -DGLIBC_MAX=2.34] -P check_plugin_exports.cmake

cmake_minimum_required(VERSION 3.25)

set(system_dlls
  advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
  oleaut32.dll shell32.dll user32.dll winmm.dll ws2_32.dll)

function(fail message)
  message(FATAL_ERROR "${PLUGIN}: ${message}")
endfunction()

function(expect_equal what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    fail("${what} are '${actual}', expected '${expected}'")
  endif()
endfunction()

function(run_tool output_variable)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
                  ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    fail("'${ARGN}' failed: ${errors}")
  endif()
  set(${output_variable} "${output}" PARENT_SCOPE)
endfunction()

# The lines of text between a heading line and the next empty line.
function(section_after text heading output_variable)
  string(FIND "${text}" "${heading}" start)
  if(start EQUAL -1)
    fail("no '${heading}' in the tool's report")
  endif()
  string(SUBSTRING "${text}" ${start} -1 rest)
  string(FIND "${rest}" "\n\n" end)
  string(SUBSTRING "${rest}" 0 ${end} section)
  set(${output_variable} "${section}" PARENT_SCOPE)
endfunction()

function(check_imports report)
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${report}")
  foreach(import IN LISTS imports)
    string(REPLACE "DLL Name: " "" dll "${import}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll IN_LIST system_dlls)
      fail("imports ${dll}, which is no Windows system DLL")
    endif()
  endforeach()
endfunction()

function(check_pe_exports)
  run_tool(report ${OBJDUMP} -p "${PLUGIN}")
  check_imports("${report}")

  string(REGEX MATCH "Ordinal Base[ \t]+([0-9]+)" unused "${report}")
  set(ordinal_base ${CMAKE_MATCH_1})

  section_after("${report}" "Export Address Table --" address_table)
  string(REGEX MATCHALL "\\+base\\[ *[0-9]+\\] [0-9a-f]+ Export RVA" addresses "${address_table}")
  foreach(entry IN LISTS addresses)
    string(REGEX MATCH "\\+base\\[ *([0-9]+)\\] ([0-9a-f]+)" unused "${entry}")
    set(address_of_ordinal_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    list(APPEND ordinals ${CMAKE_MATCH_1})
  endforeach()
  expect_equal("exported ordinals" "${ordinals}" "1;2;3")

  section_after("${report}" "[Ordinal/Name Pointer] Table" name_table)
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" names "${name_table}")
  foreach(entry IN LISTS names)
    string(REGEX MATCH "\\[ *([0-9]+)\\] (.+)" unused "${entry}")
    math(EXPR ordinal "${CMAKE_MATCH_1} + ${ordinal_base}")
    list(APPEND named_ordinals "${ordinal}:${CMAKE_MATCH_2}")
  endforeach()
  list(SORT named_ordinals)
  expect_equal("named exports" "${named_ordinals}" "1:MAIN;2:VSTPluginMain;3:main")
  expect_equal("addresses of VSTPluginMain and main" "${address_of_ordinal_3}"
               "${address_of_ordinal_2}")
endfunction()

# The loader (ld-linux*) comes in for the runtime's thread-local exception
# state; every dynamically linked program has it loaded already.
set(linux_libraries libc.so.6 libm.so.6)

function(check_elf_needed report)
  string(REGEX MATCHALL "NEEDED +[^\n]+" entries "${report}")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "NEEDED +" "" library "${entry}")
    if(NOT library IN_LIST linux_libraries AND NOT library MATCHES "^ld-linux")
      fail("needs ${library}, which it should carry or do without")
    endif()
  endforeach()
endfunction()

# Every version it asks for is a C library one, none above GLIBC_MAX; the
# highest is reported.
function(check_elf_versions report)
  string(REGEX MATCHALL "0x[0-9a-f]+ 0x[0-9a-f]+ [0-9]+ [^\n]+" references "${report}")
  set(highest 0)
  foreach(reference IN LISTS references)
    string(REGEX REPLACE ".* " "" version "${reference}")
    if(NOT version MATCHES "^GLIBC_([0-9.]+)$")
      fail("asks for symbol version ${version}, which only a C++ runtime or libgcc gives")
    endif()
    if(CMAKE_MATCH_1 VERSION_GREATER GLIBC_MAX)
      fail("asks for ${version}, newer than GLIBC_${GLIBC_MAX}")
    endif()
    if(CMAKE_MATCH_1 VERSION_GREATER highest)
      set(highest ${CMAKE_MATCH_1})
    endif()
  endforeach()
  set(highest_glibc ${highest} PARENT_SCOPE)
endfunction()

function(check_elf_dependencies)
  run_tool(report ${OBJDUMP} -p "${PLUGIN}")
  check_elf_needed("${report}")
  check_elf_versions("${report}")
  message(STATUS "${PLUGIN}: needs the C library at GLIBC_${highest_glibc} at most")
endfunction()

function(check_elf_exports)
  run_tool(report ${NM} -D --defined-only "${PLUGIN}")
  string(REGEX MATCHALL "[0-9a-f]+ [A-Za-z] [^\n]+" symbols "${report}")
  foreach(symbol IN LISTS symbols)
    string(REGEX MATCH "([0-9a-f]+) [A-Za-z] (.+)" unused "${symbol}")
    set(address_of_${CMAKE_MATCH_2} ${CMAKE_MATCH_1})
    list(APPEND names ${CMAKE_MATCH_2})
  endforeach()
  list(SORT names)
  if(ENTRY_POINT STREQUAL "lv2_descriptor")
    expect_equal("exported symbols" "${names}" "lv2_descriptor")
    return()
  endif()
  expect_equal("exported symbols" "${names}" "MAIN;VSTPluginMain;main")
  expect_equal("addresses of VSTPluginMain and main" "${address_of_main}"
               "${address_of_VSTPluginMain}")
endfunction()

if(FORMAT STREQUAL "pe")
  check_pe_exports()
elseif(FORMAT STREQUAL "elf")
  check_elf_exports()
  if(DEFINED GLIBC_MAX)
    check_elf_dependencies()
  endif()
else()
  fail("FORMAT must be pe or elf, not '${FORMAT}'")
endif()
message(STATUS "${PLUGIN}: exports and imports as a host expects")
