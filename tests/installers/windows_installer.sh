#!/usr/bin/env bash
# Tests the Windows installer that tools/make-release.sh made, under wine,
# each scenario in a prefix of its own in build/release-tests/windows-installer:
# a silent install into a fresh 64-bit prefix (the stripped DLLs, the factory presets,
# the Uninstall entry, the host suite on the installed 32-bit DLL) and its
# silent uninstall; an earlier version installed where VSTPluginsPath points,
# then this one over it; a silent install on 32-bit Windows. Prints ok/FAIL lines and
# "windows-installer: N passed, M failed"; exits non-zero when a check fails.
#
#   tests/installers/windows_installer.sh
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
source tools/release-packages.sh
# shellcheck source=tools/checks.sh
source tools/checks.sh

work=$PWD/build/release-tests/windows-installer
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# shellcheck source=cmake/artefacts.env.in
source build/win32/artefacts.env && dll32=$plugin_library
# shellcheck source=cmake/artefacts.env.in
source build/win64/artefacts.env && dll64=$plugin_library
# The DLLs as the release ships them, stripped by tools/make-release.sh.
shipped32=build/win32/$shipped_folder/$dll32
shipped64=build/win64/$shipped_folder/$dll64
setup=$PWD/$release_dir/$artefact_stem-$release_version-windows-setup.exe
suite=build/win32/tests/interface_suite/interface_suite.exe
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
unset DISPLAY

# fresh_prefix NAME [ARCH]: a new wine prefix, win64 unless ARCH says win32,
# with C: in $drive; the programs that follow run in it.
fresh_prefix() {
  export WINEPREFIX=$work/$1 WINEARCH=${2:-win64}
  drive=$WINEPREFIX/drive_c
  rm -rf "$WINEPREFIX"
  mkdir -p "$work"
  wineboot --init 2>/dev/null && wineserver -w
}

# run_wine PROGRAM ARG...: runs it and waits for every program it started,
# such as an uninstaller's copy of itself, and for the registry to be saved.
run_wine() {
  wine "$@" && wineserver -w
}

# plugins_path NAME: VSTPluginsPath names C:\NAME64 in the 64-bit registry
# view and C:\NAME32 in the 32-bit one.
plugins_path() {
  local bits
  for bits in 32 64; do
    run_wine reg add 'HKLM\SOFTWARE\VST' /v VSTPluginsPath /d "C:\\$1$bits" /f /reg:$bits >/dev/null
  done
}

# entry VALUE: that value of our Uninstall entry, in the 64-bit view.
entry() {
  wine reg query "$uninstall_key\\$artefact_stem" /v "$1" /reg:64 |
    sed -n "s/^ *$1 *REG_[A-Z]* *//p" | tr -d '\r'
}

# entries: how many Uninstall entries in either registry view bear our title.
entries() {
  local view
  for view in 32 64; do wine reg query "$uninstall_key" /s /reg:$view; done |
    tr -d '\r' | grep -cx " *DisplayName *REG_SZ *$title"
}

# equals EXPECTED ACTUAL
equals() {
  [ "$1" = "$2" ] || { echo "is '$2'"; return 1; }
}

# has_size_of FILE...: the entry's estimated size covers the files' kilobytes.
has_size_of() {
  local size
  size=$(entry EstimatedSize)
  [ $((${size:-0} * 1024)) -ge "$(cat "$@" | wc -c)" ] || { echo "size '$size'"; return 1; }
}

# presets_in FOLDER: each factory preset in FOLDER, as the Linux build saved it.
presets_in() {
  local file
  for file in "${factory_presets[@]}"; do cmp "$presets_source/$file" "$1/$file" || return 1; done
}

# nothing_of_ours: no file in C: and no registry line names us.
nothing_of_ours() {
  ! find "$drive" -iname "*$artefact_stem*" -o -iname "*$title*" | grep . &&
    ! grep -il -e "$artefact_stem" -e "$title" "$WINEPREFIX"/*.reg
}

common64='Program Files/Common Files/VST2'
common32='Program Files (x86)/Common Files/VST2'

check "the 32-bit interface suite is built" cmake --build --preset win32 --target interface_suite

echo "== fresh 64-bit prefix: silent install"
fresh_prefix fresh64
mkdir -p "$drive/$common64" "$drive/$common32"
echo stranger >"$drive/$common64/other-plugin.dll"
echo stranger >"$drive/$common32/other-plugin.dll"
run_wine "$setup" /S
check "$dll64 in Program Files\\Common Files\\VST2, as shipped" cmp "$shipped64" "$drive/$common64/$dll64"
check "$dll32 in Program Files (x86)\\Common Files\\VST2, as shipped" cmp "$shipped32" "$drive/$common32/$dll32"
check "the factory presets in Program Files\\$title\\Presets, as saved" \
  presets_in "$drive/Program Files/$title/Presets"
check "Uninstall entry: publisher $vendor" equals "$vendor" "$(entry Publisher)"
check "Uninstall entry: version $release_version" equals "$release_version" "$(entry DisplayVersion)"
check "Uninstall entry: size of both DLLs" has_size_of "$shipped64" "$shipped32"
check "the installed $dll32 passes the interface suite" \
  wine "$suite" "C:\\${common32//\//\\}\\$dll32"

echo "== the same prefix: silent uninstall by the entry's quiet command"
quiet=$(entry QuietUninstallString)
# It reads "PROGRAM" ARGUMENTS, the program's path quoted for its spaces.
uninstaller=${quiet#\"} && uninstaller=${uninstaller%%\"*}
# shellcheck disable=SC2086 # the arguments are words
run_wine "$uninstaller" ${quiet#\""$uninstaller"\"}
check "no file and no registry key of ours left" nothing_of_ours
check "the other plugins in both VST2 folders stay" \
  test -f "$drive/$common64/other-plugin.dll" -a -f "$drive/$common32/other-plugin.dll"

echo "== VSTPluginsPath set: an earlier version, then this one over it"
fresh_prefix upgrade64
plugins_path Plugins
# Stand-ins of other names and bytes, so that what replaced them shows.
mkdir -p "$work/earlier"
for arch in x86 x86_64; do echo "earlier $arch" >"$work/earlier/earlier-$arch.dll"; done
earlier=$work/earlier/$artefact_stem-0.9.0-windows-setup.exe
tools/make-windows-installer.sh 0.9.0 "$work/earlier/earlier-x86.dll" "$work/earlier/earlier-x86_64.dll" \
  "$earlier" >/dev/null
run_wine "$earlier" /S
check "the earlier version in the VSTPluginsPath of each view" \
  test -f "$drive/Plugins64/earlier-x86_64.dll" -a -f "$drive/Plugins32/earlier-x86.dll"
# Pointing VSTPluginsPath elsewhere shows that an upgrade keeps the folders used.
plugins_path Moved
run_wine "$setup" /S
check "$dll64 replaced the earlier version's" cmp "$shipped64" "$drive/Plugins64/$dll64"
check "$dll32 replaced the earlier version's" cmp "$shipped32" "$drive/Plugins32/$dll32"
check "no file of the earlier version left" equals "" "$(find "$drive" -name 'earlier-*')"
check "one Uninstall entry" equals 1 "$(entries)"
check "the entry names version $release_version" equals "$release_version" "$(entry DisplayVersion)"

echo "== 32-bit prefix: silent install"
fresh_prefix win32 win32
run_wine "$setup" /S
check "$dll32 in Program Files\\Common Files\\VST2, as shipped" cmp "$shipped32" "$drive/$common64/$dll32"
check "no $dll64 installed" equals "" "$(find "$drive" -name "$dll64")"

checks_summary windows-installer
