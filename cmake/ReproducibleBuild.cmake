# The same commit builds the same bytes, wherever it is checked out and
# whenever it is built: the paths compiled into the objects (debug
# information, and the build id of the stripped libraries, which covers it)
# are relative to the source tree, and the Windows linker writes no link time
# into the DLL's header.

add_compile_options("-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=")
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
