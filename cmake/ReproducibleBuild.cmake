# The same commit builds the same bytes, wherever it is checked out and
# whenever it is built: the paths compiled into the objects (debug
# information, and the build id of the stripped libraries, which covers it)
# are relative to the source tree, and the Windows linker writes no link time
# into the DLL's header.

# Linking too: with link-time optimisation the linker runs the compiler again,
# whose debug information would otherwise name the build folder.
set(source_relative_paths "-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=")
add_compile_options(${source_relative_paths})
add_link_options(${source_relative_paths})
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
