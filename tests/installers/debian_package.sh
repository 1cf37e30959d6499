#!/usr/bin/env bash
# Tests the Debian packages that tools/make-release.sh made, as root: lintian
# finds no error or warning in any architecture's; apt-get installs the build
# machine's (the others install the same files, tools/check-release.sh
# checks); with no plugin path variable set, Ardour and lv2ls find the
# plugin, the factory presets are in place (in the LV2 bundle and
# /usr/share), trimhost finds it by name, the manual page renders and
# bash-completion loads the completion; purging leaves
# nothing of the package behind. Any earlier install of the package is purged
# first, and this one at the end, whatever happens. Prints ok/FAIL lines and
# "debian-package: N passed, M failed"; exits non-zero when a check fails.
#
#   tests/installers/debian_package.sh
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
source tools/release-packages.sh
# shellcheck source=tools/checks.sh
source tools/checks.sh
# Every architecture's package, the build machine's first.
debs=()
for architecture in "${debian_architectures[@]}"; do
  read_debian_package "$architecture" || exit 1
  debs+=("$PWD/$debian_package")
done

work=$PWD/build/release-tests/debian-package
deb=${debs[0]}
ardour=$PWD/tests/real_hosts/ardour
export DEBIAN_FRONTEND=noninteractive
# What users have: no plugin path variable, no program of a build on the PATH,
# and a HOME without plugin folders, where Ardour starts with a fresh config.
unset VST_PATH LXVST_PATH LV2_PATH
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache

purge() {
  if dpkg -s "$debian_name" >/dev/null 2>&1; then apt-get purge -y -qq "$debian_name" >/dev/null; fi
}
trap 'purge; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
purge
rm -rf "$work"
mkdir -p "$HOME"

# ardour_listing TYPE: Ardour's list of the plugins of that type it knows.
# Ardour 7.3's headless programs crash now and then in its own code
# (docs/tested-hosts.md), and a listing runs no plugin code, reading only
# scan results and LV2 descriptions: one ended by a signal runs again, three
# times in all at most.
ardour_listing() {
  local status
  for _ in 1 2 3; do
    timeout 300 ardour7-lua "$ardour/list_plugins.lua" "$1" >"$work/listing" 2>&1
    status=$?
    if [ "$status" -le 128 ]; then break; fi
  done
  cat "$work/listing"
  return "$status"
}

# ardour_finds_vst: Ardour lists a VST 2.x plugin once its scanner has seen
# it, and only when it lies in one of Ardour's folders (no LXVST_PATH here):
# the installed library is scanned as Ardour scans a new one, then listed.
ardour_finds_vst() {
  local library
  library=$(grep "/$installed_library\$" "$work/files" | grep -v "/$lv2_bundle/") || return 1
  LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 300 /usr/lib/ardour7/ardour-vst-scanner -f "$library" ||
    return 1
  ardour_listing LXVST | grep -F "$effect_name_shown | "
}

ardour_finds_lv2() { ardour_listing LV2 | grep -F " | $lv2_uri | "; }
lv2ls_finds_lv2() { lv2ls | grep -xF "$lv2_uri"; }

trimhost_finds_plugin() {
  (cd "$work" && trimhost info "$artefact_stem") | sed -n 's/^effect name  *//p' |
    grep -xF "$effect_name_shown"
}

man_renders() {
  local warnings
  warnings=$(man --warnings -P cat trimhost 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "$warnings"; return 1; }
  MANWIDTH=80 man -P cat trimhost | grep -A1 '^NAME' | grep 'trimhost'
}

completion_loads() {
  bash -c 'source /usr/share/bash-completion/bash_completion &&
    __load_completion trimhost && complete -p trimhost'
}

# nothing_left: none of the paths the package had installed is still there,
# but for folders that still hold something, which other packages share.
nothing_left() {
  local path left=()
  while read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    [ -d "$path" ] && [ -n "$(ls -A "$path")" ] && continue
    left+=("$path")
  done <"$work/files"
  [ "${#left[@]}" -eq 0 ] || { printf '%s\n' "${left[@]}"; return 1; }
}
# installs_presets: the package holds the LV2 bundle's presets and the
# factory presets' program files.
installs_presets() {
  local file
  for file in "/usr/lib/lv2/$lv2_bundle/$lv2_presets" \
    "${factory_presets[@]/#//usr/share/$artefact_stem/presets/}"; do
    grep -qxF "$file" "$work/files" || { echo "no $file"; return 1; }
  done
}
not_installed() { ! dpkg -s "$debian_name" >/dev/null 2>&1; }

# lintian reads a package of any architecture: a cross build's mistakes
# (a binary of the wrong architecture, missing hardening, unstripped files,
# wrong shared library dependencies) show in the package alone.
for package in "${debs[@]}"; do
  check "lintian: no error, no warning in ${package##*/}" lintian --fail-on error,warning "$package"
done
if ! check "apt-get installs ${deb##*/}" apt-get install -y -qq "$deb"; then
  checks_summary debian-package
  exit
fi
dpkg -L "$debian_name" >"$work/files"
check "Ardour's scanner and listing find the VST 2.x plugin in its own folders" ardour_finds_vst
check "Ardour lists the LV2 plugin $lv2_uri" ardour_finds_lv2
check "lv2ls lists $lv2_uri" lv2ls_finds_lv2
check "the factory presets are installed" installs_presets
check "trimhost info $artefact_stem finds the plugin by name" trimhost_finds_plugin
check "man trimhost renders, without warnings" man_renders
check "bash-completion loads trimhost's completion" completion_loads

check "apt-get purges $debian_name" apt-get purge -y -qq "$debian_name"
check "dpkg says $debian_name is not installed" not_installed
check "purging left nothing of the package" nothing_left
checks_summary debian-package
