#!/usr/bin/env bash
# Builds the Debian package build/release/<stem>_<version>_<architecture>.deb
# with dpkg-buildpackage from debian/: the plugin in /usr/lib/vst, the LV2
# bundle in /usr/lib/lv2, trimhost in /usr/bin with its manual page and bash
# completion. debian/changelog is made from CHANGELOG.md, so the package's
# version is the one in CMakeLists.txt. For another architecture than the
# build machine's it cross-builds, with the build profile "cross". Needs
# build/linux/artefacts.env (from `cmake --preset linux`) for the names;
# tools/make-release.sh calls it once per architecture.
#
#   tools/make-debian-package.sh [ARCHITECTURE]   # default amd64; prints the package's path, the rest goes to stderr
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/release-packages.sh
read_debian_package "${1:-amd64}"

# debian/control is Debian's file and names the package itself; it must be
# the stem every other artefact is named after.
for field in Source Package; do
  if ! grep -qx "$field: $debian_name" debian/control; then
    echo "make-debian-package: debian/control's $field is not '$debian_name', the stem" >&2
    exit 1
  fi
done

if ! grep -Eq "^Architecture:( .*)? $debian_architecture( |\$)" debian/control; then
  echo "make-debian-package: debian/control's Architecture does not list $debian_architecture" >&2
  exit 1
fi

# A cross build needs what only it needs (qemu-user, to run the trimhost it
# built), which debian/control names for the profile "cross".
architecture_options=(--host-arch "$debian_architecture")
if [ "$debian_architecture" != "$(dpkg-architecture -qDEB_BUILD_ARCH)" ]; then
  architecture_options+=(--build-profiles=cross)
fi

# dpkg-buildpackage writes into debian/ and into the folder above the source,
# so it builds in a copy of the tracked files, as they are in the working
# tree; one folder per architecture keeps each build's log.
stage_root=build/debian/$debian_architecture
stage=$stage_root/$debian_name-$release_version
rm -rf "$stage_root"
mkdir -p "$stage"
tools/debian-changelog.py CHANGELOG.md debian/control "$release_version" >"$stage_root/changelog"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$stage"
mv "$stage_root/changelog" "$stage/debian/changelog"

# A Debian build shows every compiler command: its output goes to a log, shown
# in part when it fails.
log=$stage_root/dpkg-buildpackage.log
if ! (cd "$stage" && nice -n 19 dpkg-buildpackage -b -us -uc --jobs-try=auto "${architecture_options[@]}") >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "make-debian-package: dpkg-buildpackage failed; its output is in $log" >&2
  exit 1
fi
mkdir -p "$release_dir"
cp "$stage_root/${debian_package##*/}" "$debian_package"
echo "$debian_package"
