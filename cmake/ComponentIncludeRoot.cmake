# The components beside the plugin (trimhost, the plugin host library) are
# included by their own names, as in "plugin_host/plugin_instance.h". Each
# gets an include root in the build tree that holds one link, to its own
# folder, so that an include names its component and a program sees only
# the components it links.

# Makes ${PROJECT_BINARY_DIR}/components/<component>, holding a link to the
# source folder <component>, and stores its path in the variable
# <component>_include_root.
function(component_include_root component)
  set(dir ${PROJECT_BINARY_DIR}/components/${component})
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${component} ${dir}/${component} SYMBOLIC)
  set(${component}_include_root ${dir} PARENT_SCOPE)
endfunction()
