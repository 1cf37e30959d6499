# The plugin's three layers are libraries that see only what they may use:
# each gets an include root of its own in the build tree, holding links to
# the headers it exports, so that an include across a layer fails to build.
# (An include that climbs out with ../ would get past the roots; the format
# check, tools/check-format.sh, fails it.)
#
#   a shell      (vst2 or lv2) sees its host interface, its own headers and
#                the seam;
#   the runtime  sees its own headers and the seam;
#   the effect   sees the runtime (and the seam through it);
#   the seam     is the effect-callback table, the shell services and the
#                host-boundary guard, the only headers the shells and the
#                runtime share.

# Makes ${PROJECT_BINARY_DIR}/layers/<root>, with a link for each of the
# given paths (relative to src/, kept as they are, such as vst2/aeffect.h or
# runtime), and stores its path in the variable <root>_include_root.
function(trimixer_include_root root)
  set(dir ${PROJECT_BINARY_DIR}/layers/${root})
  file(REMOVE_RECURSE ${dir})
  foreach(path IN LISTS ARGN)
    get_filename_component(parent ${dir}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${path} ${dir}/${path} SYMBOLIC)
  endforeach()
  set(${root}_include_root ${dir} PARENT_SCOPE)
endfunction()
