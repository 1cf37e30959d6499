# Compile options shared by the plugin and everything built around it.

add_library(project_options INTERFACE)
# Products and sums are rounded as written: no fused multiply-add.
target_compile_options(project_options INTERFACE -Wall -Wextra -Wpedantic -ffp-contract=off)

option(TRIMIXER_WERROR "Treat compiler warnings as errors" OFF)
if(TRIMIXER_WERROR)
  target_compile_options(project_options INTERFACE -Werror)
endif()

if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  # SSE2 arithmetic gives the same doubles as the 64-bit builds; hosts may
  # call in with a stack aligned to 4 bytes only.
  target_compile_options(project_options INTERFACE
    -msse2 -mfpmath=sse -mincoming-stack-boundary=2)
endif()

if(WIN32)
  # A user's machine has no mingw runtime DLLs.
  target_link_options(project_options INTERFACE -static -static-libgcc -static-libstdc++)
  # Line tables for the release's symbols archive, which reads a crash address
  # in the stripped DLL; the build id (a CodeView record, which Windows crash
  # dumps copy) ties that archive's debug file to its DLL. Neither changes code.
  target_compile_options(project_options INTERFACE -g)
  target_link_options(project_options INTERFACE -g -Wl,--build-id)
endif()

# Sanitized builds: the whole native test suite runs under AddressSanitizer and
# UndefinedBehaviorSanitizer; any report fails the test.
option(TRIMIXER_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(TRIMIXER_SANITIZE)
  set(sanitizer_flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(project_options INTERFACE ${sanitizer_flags})
  target_link_options(project_options INTERFACE ${sanitizer_flags})
endif()

# A ThreadSanitizer build holds only the test of many instances on many
# threads, and everything it builds is instrumented; any report fails it.
option(TRIMIXER_TSAN "Build the many-instances test alone, under ThreadSanitizer" OFF)
if(TRIMIXER_TSAN)
  if(TRIMIXER_SANITIZE OR TRIMIXER_FUZZ)
    message(FATAL_ERROR "ThreadSanitizer does not combine with AddressSanitizer")
  endif()
  set(tsan_flags -fsanitize=thread -fno-omit-frame-pointer)
  target_compile_options(project_options INTERFACE ${tsan_flags})
  target_link_options(project_options INTERFACE ${tsan_flags})
endif()

# Sanitized modules leave the sanitizer runtime to the host program.
if(TRIMIXER_SANITIZE OR TRIMIXER_TSAN)
  set(TRIMIXER_SANITIZED_MODULES ON)
else()
  set(TRIMIXER_SANITIZED_MODULES OFF)
endif()

# How a Linux plugin module is linked: its version script leaves the host
# only the entry points, and outside the sanitized builds it carries its own
# C++ runtime and libgcc, so that it loads on systems whose libstdc++ is
# older than the build machine's and into hosts built on another C++
# runtime, and needs nothing but the C library and libm. A sanitized module
# keeps the shared runtime: the sanitizers replace operator new and delete
# through it, which a copy inside the module would bypass.
function(trimixer_link_linux_module target version_script)
  target_link_options(${target} PRIVATE -Wl,--version-script=${version_script})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${version_script})
  if(TRIMIXER_SANITIZED_MODULES)
    return()
  endif()
  # Unused parts of the runtime go, and with them their calls into newer C
  # libraries (std::random_device's arc4random).
  target_link_options(${target} PRIVATE
    -Wl,--no-undefined -Wl,--gc-sections -static-libstdc++ -static-libgcc)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/plugin/carried_runtime.cpp)
endfunction()
