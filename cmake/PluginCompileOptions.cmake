# Compile options shared by the plugin and everything built around it.

add_library(project_options INTERFACE)
# Products and sums are rounded as written: no fused multiply-add.
target_compile_options(project_options INTERFACE -Wall -Wextra -Wpedantic -ffp-contract=off)

if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  # SSE2 arithmetic gives the same doubles as the 64-bit builds; hosts may
  # call in with a stack aligned to 4 bytes only.
  target_compile_options(project_options INTERFACE
    -msse2 -mfpmath=sse -mincoming-stack-boundary=2)
endif()

if(WIN32)
  # A user's machine has no mingw runtime DLLs.
  target_link_options(project_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
