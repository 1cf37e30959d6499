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
# and, for the package that ships the LV2 bundle too, "lv2".
release_packages=(
  "linux-x86_64 linux lv2"
  "windows-x86 win32"
  "windows-x86_64 win64"
)

# read_release_package PACKAGE: sets target, preset, the package's name (its
# top folder, and its zip's name without ".zip"), library (the file in
# build/<preset>/src) and, where it ships one, bundle (the LV2 bundle's folder
# in build/<preset>) and bundle_files (what that folder holds). The names come
# from the artefacts.env the preset's configuration wrote.
read_release_package() {
  local lv2
  read -r target preset lv2 <<<"$1"
  # shellcheck source=cmake/artefacts.env.in
  source "build/$preset/artefacts.env" || return 1
  name=$artefact_stem-$release_version-$target
  library=$plugin_library
  bundle=${lv2:+$lv2_bundle}
  bundle_files=()
  [ -z "$bundle" ] || bundle_files=("$lv2_binary" manifest.ttl "$lv2_description")
}
