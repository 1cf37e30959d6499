# What the release packages are, for tools/make-release.sh and
# tools/check-release.sh, which source this file from the repository root and
# use the variables and functions it sets.
# shellcheck shell=bash disable=SC2034

# The version comes from CMakeLists.txt alone, so that it is set in one place.
release_version=$(sed -nE 's/^project\([^)]*VERSION ([0-9]+(\.[0-9]+)*).*/\1/p' CMakeLists.txt)
if [ -z "$release_version" ]; then
  echo "no VERSION in the project() line of CMakeLists.txt" >&2
  exit 1
fi

# One decimal digit per version field, as the plugin reports it: 1.2.3 is 1230.
release_vendor_version=$(IFS=. read -r major minor patch tweak <<<"$release_version"
  echo $((${major:-0} * 1000 + ${minor:-0} * 100 + ${patch:-0} * 10 + ${tweak:-0})))

release_dir=build/release
# The checksums of every other file in release_dir.
release_checksums=SHA256SUMS

# One line per package: platform-arch, the preset that builds its library
# and what the package ships beside it: "lv2", the LV2 bundle; "trimhost",
# the command-line host with its manual page and bash completion; "symbols",
# the library stripped of its symbols and debug information, which go into
# the platform's symbols archive instead. Every package ships the factory
# presets' program files in presets/.
release_packages=(
  "linux-x86_64 linux lv2 trimhost"
  "linux-aarch64 linux-arm64 lv2 trimhost"
  "windows-x86 win32 symbols"
  "windows-x86_64 win64 symbols"
)

# Where tools/make-release.sh leaves a library shipped without its debug
# information, in build/<preset>, with that information beside it in the
# library's name and this suffix (the name the library's debug link gives).
shipped_folder=shipped
debug_suffix=.debug

# read_release_package PACKAGE: sets target, preset, the package's name (its
# top folder, and its zip's name without ".zip"), targets (what the preset
# builds for it), library (the file in build/<preset>/src), library_source
# (the file the package ships, stripped where its debug information goes
# apart) and, where it ships them, bundle (the LV2 bundle's folder in
# build/<preset>) and bundle_files (what that folder holds), tool (the
# program, built in build/<preset>) and tool_files and tool_sources (the
# program, its manual page and completion: their names in the package and
# where each comes from), and preset_files and preset_sources (the factory
# presets' program files likewise: a program file is the same on every
# platform, so all come from the Linux build, whose trimhost saves them), and
# for a library stripped of its debug information, debug_file (the file that
# keeps it, beside library_source), symbols_name (the symbols archive's top
# folder and name without ".zip") and symbols_folder (the architecture's
# folder there). The names come from the artefacts.env the preset's
# configuration wrote.
read_release_package() {
  local extras
  read -r target preset extras <<<"$1"
  # shellcheck source=cmake/artefacts.env.in
  source "build/$preset/artefacts.env" || return 1
  name=$artefact_stem-$release_version-$target
  targets=(trimixer_plugin)
  library=$plugin_library
  library_source=build/$preset/src/$library
  bundle='' bundle_files=() tool='' tool_files=() tool_sources=()
  debug_file='' symbols_name='' symbols_folder=''
  preset_files=("${factory_presets[@]/#/$presets_folder/}")
  preset_sources=("${factory_presets[@]/#/$presets_source/}")
  if [[ " $extras " == *" lv2 "* ]]; then
    targets+=(trimixer_lv2)
    bundle=$lv2_bundle
    bundle_files=("$lv2_binary" manifest.ttl "$lv2_description" "$lv2_presets")
  fi
  if [[ " $extras " == *" trimhost "* ]]; then
    targets+=(trimhost trimixer_presets)
    tool=$trimhost_program
    tool_files=("$tool" "$trimhost_man_page" "$trimhost_zip_completion")
    tool_sources=("build/$preset/trimhost/$tool" "trimhost/man/$trimhost_man_page"
      "trimhost/completion/$tool")
  fi
  if [[ " $extras " == *" symbols "* ]]; then
    library_source=build/$preset/$shipped_folder/$library
    debug_file=$library_source$debug_suffix
    symbols_name=$artefact_stem-$release_version-${target%%-*}-symbols
    symbols_folder=${target#*-}
  fi
}

# The factory presets' folder in every package, and where the Linux build
# saves them.
presets_folder=presets
presets_source=build/linux/presets

# The architectures the Debian package is built for, those debian/control
# lists: the build machine's first, the one the others are compared with and
# the one the package tests install; the others are cross-built.
debian_architectures=(amd64 arm64)

# read_debian_package ARCHITECTURE: sets debian_name, the Debian package's
# name (the stem of the linux preset's artefacts.env), debian_architecture,
# and debian_package, its file in the release folder, named as
# dpkg-buildpackage names it.
read_debian_package() {
  # shellcheck source=cmake/artefacts.env.in
  source build/linux/artefacts.env || return 1
  debian_name=$artefact_stem
  debian_architecture=$1
  debian_package=$release_dir/${debian_name}_${release_version}_$debian_architecture.deb
}
