#!/usr/bin/env bash
# Builds the Debian package build/release/<stem>_<version>_amd64.deb with
# dpkg-buildpackage from debian/: the plugin in /usr/lib/vst, the LV2 bundle
# in /usr/lib/lv2, trimhost in /usr/bin with its manual page and bash
# completion. debian/changelog is made from CHANGELOG.md, so the package's
# version is the one in CMakeLists.txt. Needs build/linux/artefacts.env (from
# `cmake --preset linux`) for the names; tools/make-release.sh calls it.
#
#   tools/make-debian-package.sh    # prints the package's path; the rest goes to stderr
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/release-packages.sh
read_debian_package

# debian/control is Debian's file and names the package itself; it must be
# the stem every other artefact is named after.
for field in Source Package; do
  if ! grep -qx "$field: $debian_name" debian/control; then
    echo "make-debian-package: debian/control's $field is not '$debian_name', the stem" >&2
    exit 1
  fi
done

# dpkg-buildpackage writes into debian/ and into the folder above the source,
# so it builds in a copy of the tracked files, as they are in the working tree.
stage_root=build/debian
stage=$stage_root/$debian_name-$release_version
rm -rf "$stage_root"
mkdir -p "$stage"
tools/debian-changelog.py CHANGELOG.md debian/control "$release_version" >"$stage_root/changelog"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$stage"
mv "$stage_root/changelog" "$stage/debian/changelog"

# A Debian build shows every compiler command: its output goes to a log, shown
# in part when it fails.
log=$stage_root/dpkg-buildpackage.log
if ! (cd "$stage" && nice -n 19 dpkg-buildpackage -b -us -uc --jobs-try=auto) >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "make-debian-package: dpkg-buildpackage failed; its output is in $log" >&2
  exit 1
fi
mkdir -p "$release_dir"
cp "$stage_root/${debian_package##*/}" "$debian_package"
echo "$debian_package"
