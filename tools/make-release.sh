#!/usr/bin/env bash
# Builds the plugin library for each platform and architecture and packs each
# with README.txt, LICENSE and the factory presets (and on Linux the LV2
# bundle, and trimhost with its manual page and bash completion) into a zip
# of its own in build/release/, the Windows DLLs stripped and their debug
# information in one symbols archive beside them, then the Windows installer
# for both DLLs (tools/make-windows-installer.sh) and the Debian package for
# each of its architectures (tools/make-debian-package.sh), beside SHA256SUMS,
# the checksums of every release file.
#
#   tools/make-release.sh
#
# Afterwards tools/check-release.sh checks what the zips hold.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/release-packages.sh

# The Windows DLLs need the mingw-w64 toolchains of the tests profile, the
# installer and the package the release profile, the aarch64 zip and package
# the arm64 profile.
tools/install-build-deps.sh build tests release arm64

# Everything dated is dated by the commit, so that building it again, later
# and elsewhere, gives the same bytes (tools/check-reproducible.sh).
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

# keep_debug_apart BUILT SHIPPED DEBUG: SHIPPED is BUILT without symbols and
# debug information, which DEBUG keeps; SHIPPED's debug link names DEBUG with
# its checksum, and both keep the build id, so that a debugger finds DEBUG
# for a crash address in SHIPPED. The export table and the version resource
# are not debug information and stay. objcopy dates the PE headers it writes
# SOURCE_DATE_EPOCH, set above, not the time now.
keep_debug_apart() {
  mkdir -p "$(dirname "$2")"
  "$target_objcopy" --only-keep-debug "$1" "$3"
  "$target_objcopy" --strip-all --add-gnu-debuglink="$3" "$1" "$2"
}

# pack_zip NAME: zips the folder NAME of the stage into NAME.zip in the
# release folder.
pack_zip() {
  tools/reproducible-zip.py "$release_dir/$1.zip" "$stage/$1"
  made+=("$release_dir/$1.zip")
}

for package in "${release_packages[@]}"; do
  read -r _ preset _ <<<"$package"
  echo "== $preset: configure and build the plugin"
  cmake --preset "$preset" >/dev/null
  # The names of what the package ships come from the configured build.
  read_release_package "$package"
  cmake --build --preset "$preset" --target "${targets[@]}"
  [ -z "$debug_file" ] || keep_debug_apart "build/$preset/src/$library" "$library_source" "$debug_file"
done

# Start from an empty folder so that no zip of an earlier version is left.
rm -rf "$release_dir"
stage=$release_dir/stage
made=()
symbols=()
for package in "${release_packages[@]}"; do
  read_release_package "$package"
  mkdir -p "$stage/$name"
  cp "$library_source" "build/$preset/packaging/README.txt" LICENSE "$stage/$name/"
  if [ -n "$debug_file" ]; then
    mkdir -p "$stage/$symbols_name/$symbols_folder"
    cp "$debug_file" "$stage/$symbols_name/$symbols_folder/"
    [[ " ${symbols[*]} " == *" $symbols_name "* ]] || symbols+=("$symbols_name")
  fi
  if [ -n "$bundle" ]; then
    mkdir "$stage/$name/$bundle"
    cp "${bundle_files[@]/#/build/$preset/$bundle/}" "$stage/$name/$bundle/"
  fi
  mkdir "$stage/$name/$presets_folder"
  for i in "${!tool_files[@]}"; do
    cp "${tool_sources[i]}" "$stage/$name/${tool_files[i]}"
  done
  for i in "${!preset_files[@]}"; do
    cp "${preset_sources[i]}" "$stage/$name/${preset_files[i]}"
  done
  # The native build keeps debug information for the tests; users need none.
  # The build's own strip reads its target's files, which the build
  # machine's may not.
  find "$stage/$name" -name '*.so' -exec "$target_strip" --strip-debug {} +
  [ -z "$tool" ] || "$target_strip" "$stage/$name/$tool"
  pack_zip "$name"
done
for name in "${symbols[@]}"; do pack_zip "$name"; done
rm -rf "$stage"

echo "== windows installer"
made+=("$(tools/make-windows-installer.sh)")

for architecture in "${debian_architectures[@]}"; do
  echo "== Debian package for $architecture"
  made+=("$(tools/make-debian-package.sh "$architecture")")
done

# One checksum line per release file, so that a download can be verified
# with "sha256sum -c SHA256SUMS" in the folder that holds them.
(cd "$release_dir" && sha256sum -- "${made[@]##*/}" >"$release_checksums")
made+=("$release_dir/$release_checksums")

echo "== release $release_version"
printf '%s\n' "${made[@]}"
