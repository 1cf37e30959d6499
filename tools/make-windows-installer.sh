#!/usr/bin/env bash
# Builds the Windows installer, one setup program for both DLLs, from
# packaging/windows/installer.nsi with makensis. Every name comes from the
# identity: the vendor, title and file names from the artefacts.env of the
# win32 and win64 builds, the version from CMakeLists.txt, the copyright line
# from LICENSE; the factory presets are the program files the Linux build
# saved.
#
#   tools/make-windows-installer.sh
#       build/release/<stem>-<version>-windows-setup.exe from the builds' DLLs
#       as the release ships them, stripped
#   tools/make-windows-installer.sh VERSION DLL32 DLL64 OUTPUT
#       a setup program of another version from other DLL files, as the tests
#       make of an earlier release to install over
#
# The builds must be configured, their DLLs built and stripped, and the linux
# build's presets saved (tools/make-release.sh does all, then calls this
# script).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/release-packages.sh

# dll_of PRESET: the path of the DLL that preset builds, as the release ships it.
dll_of() {
  # shellcheck source=cmake/artefacts.env.in
  (source "build/$1/artefacts.env" && echo "build/$1/$shipped_folder/$plugin_library")
}

# four_fields VERSION: the version with as many ".0" added as make four fields,
# as a Windows version resource wants it.
four_fields() {
  local version=$1
  while [ "$(tr -cd . <<<"$version" | wc -c)" -lt 3 ]; do version+=.0; done
  echo "$version"
}

# The vendor, title and stem: the same in either build's file.
# shellcheck source=cmake/artefacts.env.in
source build/win64/artefacts.env
if [ $# -eq 4 ]; then
  version=$1 dll32=$2 dll64=$3 output=$4
elif [ $# -eq 0 ]; then
  version=$release_version dll32=$(dll_of win32) dll64=$(dll_of win64)
  output=$release_dir/$artefact_stem-$release_version-windows-setup.exe
else
  sed -n '2,/^set -e/p' "$0" | sed '$d' >&2
  exit 2
fi
mkdir -p "$(dirname "$output")"
# The presets' File and Delete lines, by name, so that the uninstaller removes
# exactly the files installed.
presets=$(mktemp)
trap 'rm -f "$presets"' EXIT
{
  echo '!macro InstallPresets'
  for file in "${factory_presets[@]}"; do echo "  File \"$(realpath "$presets_source/$file")\""; done
  echo '!macroend'
  echo '!macro RemovePresets FOLDER'
  for file in "${factory_presets[@]}"; do echo "  Delete \"\${FOLDER}\\$file\""; done
  echo '!macroend'
} >"$presets"

# The copyright line of the licence the zips ship.
copyright=$(grep -m1 '^Copyright' LICENSE)
# -WX: a warning, such as a define the script uses but was not given, fails the build.
makensis -WX -V2 -INPUTCHARSET UTF8 \
  "-DVENDOR=$vendor" "-DTITLE=$title" "-DSTEM=$artefact_stem" \
  "-DVERSION=$version" "-DVERSION_QUAD=$(four_fields "$version")" \
  "-DPLUGIN64=$(realpath "$dll64")" "-DPLUGIN64_NAME=$(basename "$dll64")" \
  "-DPLUGIN32=$(realpath "$dll32")" "-DPLUGIN32_NAME=$(basename "$dll32")" \
  "-DCOPYRIGHT=$copyright" "-DOUTFILE=$(realpath "$output")" "-DPRESETS=$presets" \
  packaging/windows/installer.nsi >&2
# The one line on standard output: what was made, for tools/make-release.sh.
echo "$output"
