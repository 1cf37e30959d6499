# Who the plugin says it is, in one place: project(VERSION) and the two cache
# variables below. Everything that shows a name, a vendor or a version is
# generated from them: the header the effect reads (plugin_identity.h), the
# Windows version resource, the user README in the release zips and what the
# tests expect. The same goes for the artefacts' file names, from the stem
# below: the build writes them to artefacts.env for the scripts.

set(TRIMIXER_EFFECT_NAME "Kestrivane_trimixer 3 stereo pairs to 1 out"
  CACHE STRING "The effect's name, also its product string and program name")
set(TRIMIXER_VENDOR "Kestrivane" CACHE STRING "The vendor hosts show")
# The title people read: the user README's heading, the Windows installer's
# name and its entry among the installed programs.
set(TRIMIXER_TITLE "${TRIMIXER_VENDOR} trimixer")
# LV2 hosts know a plugin by its URI, and a saved session names it by that:
# it must never change.
set(TRIMIXER_LV2_URI "https://kestrivane.com/plugins/trimixer")

# Every artefact's file name starts with this stem: the plugin libraries, the
# LV2 bundle and its files, and the release zips.
set(TRIMIXER_FILE_STEM kestrivane-trimixer)
# One naming scheme for every build of the library: platform and architecture.
if(WIN32)
  set(TRIMIXER_PLATFORM windows)
else()
  set(TRIMIXER_PLATFORM linux)
endif()
# Debian names the same architectures its own way: the Debian package's file
# name, which the Linux README tells users to install.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(TRIMIXER_ARCHITECTURE aarch64)
  set(TRIMIXER_DEBIAN_ARCHITECTURE arm64)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TRIMIXER_ARCHITECTURE x86_64)
  set(TRIMIXER_DEBIAN_ARCHITECTURE amd64)
else()
  set(TRIMIXER_ARCHITECTURE x86)
  set(TRIMIXER_DEBIAN_ARCHITECTURE i386)
endif()
set(TRIMIXER_LIBRARY_NAME ${TRIMIXER_FILE_STEM}-${TRIMIXER_PLATFORM}-${TRIMIXER_ARCHITECTURE})
set(TRIMIXER_LIBRARY_FILE ${TRIMIXER_LIBRARY_NAME}${CMAKE_SHARED_MODULE_SUFFIX})
# Installed, the library is named after the stem alone: a plugin folder holds
# one build of it, and hosts and trimhost find it by that name.
set(TRIMIXER_INSTALLED_LIBRARY ${TRIMIXER_FILE_STEM}${CMAKE_SHARED_MODULE_SUFFIX})
set(TRIMIXER_LV2_BUNDLE ${TRIMIXER_FILE_STEM}.lv2)
set(TRIMIXER_LV2_BINARY ${TRIMIXER_FILE_STEM}${CMAKE_SHARED_MODULE_SUFFIX})
set(TRIMIXER_LV2_DESCRIPTION ${TRIMIXER_FILE_STEM}.ttl)

# The vendor version hosts show has one decimal digit per version field:
# 1.0.0 is 1000, 1.2.3 is 1230.
foreach(field MAJOR MINOR PATCH TWEAK)
  set(value "${PROJECT_VERSION_${field}}")
  if(value STREQUAL "")
    set(value 0)
  endif()
  if(value GREATER 9)
    message(FATAL_ERROR "project(VERSION ${PROJECT_VERSION}): each field must be 0 to 9, "
                        "the vendor version shows one digit per field")
  endif()
  set(TRIMIXER_VERSION_${field} ${value})
endforeach()
math(EXPR TRIMIXER_VENDOR_VERSION
  "${TRIMIXER_VERSION_MAJOR} * 1000 + ${TRIMIXER_VERSION_MINOR} * 100 + ${TRIMIXER_VERSION_PATCH} * 10 + ${TRIMIXER_VERSION_TWEAK}")
set(TRIMIXER_VERSION_QUAD
  "${TRIMIXER_VERSION_MAJOR}.${TRIMIXER_VERSION_MINOR}.${TRIMIXER_VERSION_PATCH}.${TRIMIXER_VERSION_TWEAK}")

# The texts as hosts with the published buffer sizes show them: the effect
# name cut to 31 characters, the program name to 23.
string(SUBSTRING "${TRIMIXER_EFFECT_NAME}" 0 31 TRIMIXER_EFFECT_NAME_SHOWN)
string(SUBSTRING "${TRIMIXER_EFFECT_NAME}" 0 23 TRIMIXER_PROGRAM_NAME_SHOWN)

set(identity_dir ${PROJECT_BINARY_DIR}/identity)
configure_file(${CMAKE_CURRENT_LIST_DIR}/plugin_identity.h.in ${identity_dir}/plugin_identity.h
  @ONLY)
add_library(trimixer_identity INTERFACE)
target_include_directories(trimixer_identity INTERFACE ${identity_dir})

# trimhost's files as the Linux zip names them: the program, its manual page
# and its bash completion (trimhost/completion/trimhost in the repository).
set(TRIMHOST_PROGRAM trimhost)
set(TRIMHOST_MAN_PAGE trimhost.1)
set(TRIMHOST_ZIP_COMPLETION trimhost-completion.bash)

# The factory presets, listed in the README and named in artefacts.env too.
include(${CMAKE_CURRENT_LIST_DIR}/FactoryPresets.cmake)

# The user README shipped in the release zips, with the "Installing" section
# of its platform.
set(installing_text ${PROJECT_SOURCE_DIR}/packaging/installing-${TRIMIXER_PLATFORM}.txt.in)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${installing_text})
file(READ ${installing_text} installing_text)
string(CONFIGURE "${installing_text}" TRIMIXER_README_INSTALLING @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/README.txt.in
  ${PROJECT_BINARY_DIR}/packaging/README.txt @ONLY)

# The artefacts' names for the scripts, tests and packaging, which source this
# file rather than typing a name; with the binutils and the emulator for this
# build's target, which the build machine's own may not read or run.
list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " TRIMIXER_EMULATOR_SHELL)
configure_file(${CMAKE_CURRENT_LIST_DIR}/artefacts.env.in ${PROJECT_BINARY_DIR}/artefacts.env @ONLY)
