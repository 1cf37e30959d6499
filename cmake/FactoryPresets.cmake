# The factory presets (packaging/presets/factory-presets.cmake) in the forms
# each edition takes: the LV2 bundle's preset descriptions, and a trimhost
# settings file per preset that the VST 2.x program files are saved from
# (packaging/presets/CMakeLists.txt).
include(${PROJECT_SOURCE_DIR}/packaging/presets/factory-presets.cmake)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/packaging/presets/factory-presets.cmake)

# The bundle's file of presets, and the build tree's folder of program files.
set(TRIMIXER_LV2_PRESETS presets.ttl)
set(TRIMIXER_PRESETS_DIR ${PROJECT_BINARY_DIR}/presets)

# The control ports in port order, as src/lv2/bundle/plugin.ttl.in declares
# them; the VST 2.x parameter names are the symbols with blanks for "_".
set(trimixer_preset_ports level_stereo_1 level_stereo_2 level_stereo_3
  mute_stereo_1 mute_stereo_2 mute_stereo_3 master_level busses_silent_after_mixer)

# trimixer_read_factory_preset(ROW): sets preset_file, preset_fragment,
# preset_label and preset_values (a list) from a row of the table.
macro(trimixer_read_factory_preset row)
  string(REPLACE "|" ";" preset_fields "${row}")
  list(GET preset_fields 0 preset_file)
  list(GET preset_fields 1 preset_fragment)
  list(GET preset_fields 2 preset_label)
  list(GET preset_fields 3 preset_values)
  separate_arguments(preset_values UNIX_COMMAND "${preset_values}")
  list(LENGTH preset_values preset_count)
  list(LENGTH trimixer_preset_ports port_count)
  if(NOT preset_count EQUAL port_count)
    message(FATAL_ERROR "factory preset ${preset_file}: ${preset_count} values for ${port_count} ports")
  endif()
endmacro()

# The manifest's lines that name each preset, and presets.ttl's descriptions
# of them, in TRIMIXER_LV2_PRESETS_MANIFEST and TRIMIXER_LV2_PRESETS_BODY; the
# README's list of labels and program files in TRIMIXER_FACTORY_PRESETS_README.
# Values are written as decimals: lilv hands an integer literal to hosts as an
# integer, which some take for no control value.
set(TRIMIXER_LV2_PRESETS_MANIFEST "")
set(TRIMIXER_LV2_PRESETS_BODY "")
set(TRIMIXER_FACTORY_PRESET_FILES "")
set(TRIMIXER_FACTORY_PRESETS_README "")
set(TRIMIXER_LV2_PRESET_URIS "")
foreach(row IN LISTS TRIMIXER_FACTORY_PRESETS)
  trimixer_read_factory_preset("${row}")
  set(preset_uri "<${TRIMIXER_LV2_URI}#${preset_fragment}>")
  string(APPEND TRIMIXER_LV2_PRESETS_MANIFEST "\n${preset_uri}\n    a pset:Preset ;\n"
    "    lv2:appliesTo <${TRIMIXER_LV2_URI}> ;\n"
    "    rdfs:seeAlso <${TRIMIXER_LV2_PRESETS}> .\n")
  set(port_values "")
  set(separator "")
  set(settings "# ${preset_label}\n")
  foreach(port value IN ZIP_LISTS trimixer_preset_ports preset_values)
    if(NOT value MATCHES "\\.")
      string(APPEND value ".0")
    endif()
    string(APPEND port_values
      "${separator}[\n        lv2:symbol \"${port}\" ;\n        pset:value ${value}\n    ]")
    set(separator " , ")
    # A switch's value, 0 or 1, is its normalised value; trimhost sets a
    # switch by its text or by that, levels by their number in dB.
    if(port MATCHES "^(mute|busses)_")
      string(PREPEND value "normalised ")
    endif()
    string(REPLACE "_" " " parameter "${port}")
    string(APPEND settings "${parameter}=${value}\n")
  endforeach()
  string(APPEND TRIMIXER_LV2_PRESETS_BODY "\n${preset_uri}\n    a pset:Preset ;\n"
    "    lv2:appliesTo <${TRIMIXER_LV2_URI}> ;\n"
    "    rdfs:label \"${preset_label}\" ;\n"
    "    lv2:port ${port_values} .\n")
  file(CONFIGURE OUTPUT ${TRIMIXER_PRESETS_DIR}/settings/${preset_file}.txt CONTENT "${settings}")
  list(APPEND TRIMIXER_FACTORY_PRESET_FILES ${preset_file}.fxp)
  string(APPEND TRIMIXER_FACTORY_PRESETS_README "  ${preset_label}\n      presets/${preset_file}.fxp\n")
  list(APPEND TRIMIXER_LV2_PRESET_URIS "${TRIMIXER_LV2_URI}#${preset_fragment}")
endforeach()
# The two lists as the words of bash arrays, for artefacts.env.
list(JOIN TRIMIXER_FACTORY_PRESET_FILES " " TRIMIXER_FACTORY_PRESET_FILES_SHELL)
list(JOIN TRIMIXER_LV2_PRESET_URIS " " TRIMIXER_LV2_PRESET_URIS_SHELL)
