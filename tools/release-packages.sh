# What the release packages are, for tools/make-release.sh and
# tools/check-release.sh, which source this file from the repository root and
# use the variables it sets.
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

# One line per package: platform-arch, the preset that builds its library,
# the library's file name in build/<preset>/src and, where there is one, the
# LV2 bundle's folder in build/<preset>.
release_packages=(
  "linux-x86_64 linux kestrivane-trimixer-linux-x86_64.so kestrivane-trimixer.lv2"
  "windows-x86 win32 kestrivane-trimixer-windows-x86.dll"
  "windows-x86_64 win64 kestrivane-trimixer-windows-x86_64.dll"
)

# What an LV2 bundle folder holds.
release_lv2_bundle_files=(kestrivane-trimixer.so manifest.ttl kestrivane-trimixer.ttl)

# The top folder inside a package's zip, and the zip's name without ".zip".
release_package_name() {
  echo "kestrivane-trimixer-$release_version-$1"
}
