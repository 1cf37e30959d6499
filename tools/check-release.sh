#!/usr/bin/env bash
# Checks the zips that tools/make-release.sh made: each holds exactly its
# library, README.txt, LICENSE and the factory presets (the program files the
# Linux build saved) in its top folder (and the Linux ones their LV2
# bundle, trimhost, its manual page and its completion), the libraries are not
# empty and are built for their platform and architecture, the bundle
# describes this version, trimhost is a stripped program for its architecture
# that runs (under the build's emulator for another processor) and says this
# version, and README.txt, LICENSE, the manual page and the completion are the
# repository's, README.txt titled for the version in CMakeLists.txt and naming
# the vendor version derived from it; the Windows DLLs, in the zips and in the
# installer alike, carry no debug information, which the symbols archive
# keeps in a debug file per DLL that its debug link and build id match and
# that reads its entry points' addresses as source lines; the Windows
# installer is a 32-bit Windows program; each Debian package is this version's, for its
# architecture, holds LICENSE and installs the same files as the amd64 one;
# SHA256SUMS lists every release file with its checksum. Prints one line per
# check, then
# "release: N passed, M failed"; exits non-zero when any check fails.
#
#   tools/check-release.sh [DIR]    # DIR holds the zips; default build/release
#
# No errexit: a command that fails here is a failed check, counted and shown.
set -uo pipefail
dir=${1:+$(realpath "$1")}
cd "$(dirname "$0")/.." || exit 1
source tools/release-packages.sh
dir=${dir:-$PWD/$release_dir}

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

# shellcheck source=tools/checks.sh
source tools/checks.sh

# holds_exactly ZIP TOP FILE...: the zip's files are TOP/FILE for each FILE,
# and nothing else; folder entries are not counted.
holds_exactly() {
  local zip=$1 top=$2 expected found
  shift 2
  expected=$(printf '%s\n' "${@/#/$top/}" | sort)
  found=$(cmake -E tar tf "$zip" | grep -v '/$' | sort)
  [ "$found" = "$expected" ] || { echo "holds: $found"; return 1; }
}

# is_elf OBJDUMP FORMAT KIND FILE: an ELF file of that format, read with the
# target's objdump, of KIND "library" (a shared object) or "program" (an
# executable). A position-independent executable is dynamic too, but names an
# interpreter.
is_elf() {
  local objdump=$1 format=$2 kind=$3 file=$4 header headers interpreter=no
  header=$("$objdump" -f "$file") || return 1
  grep -q "file format $format\$" <<<"$header" || { echo "not $format"; return 1; }
  # Read whole before grep: under pipefail, grep -q leaving a pipe early
  # would fail objdump with SIGPIPE, and the match with it.
  headers=$("$objdump" -p "$file") || return 1
  if grep -q '^ *INTERP ' <<<"$headers"; then interpreter=yes; fi
  case $kind in
    library)
      grep -q 'DYNAMIC' <<<"$header" || { echo "not dynamic"; return 1; }
      [ "$interpreter" = no ] || { echo "an executable"; return 1; } ;;
    program)
      [ "$interpreter" = yes ] || { echo "names no interpreter: not an executable"; return 1; } ;;
  esac
}

# has_no_debug_sections OBJDUMP FILE: no .debug section is left in it.
has_no_debug_sections() {
  local sections
  sections=$("$1" -h "$2" | awk '$2 ~ /^\.debug/ { print $2 }') || return 1
  [ -z "$sections" ] || { echo "$sections"; return 1; }
}

# prints_version PROGRAM [EMULATOR...]: `PROGRAM --version`, run under the
# emulator when one is given, prints its name and this release's version.
prints_version() {
  local output
  output=$("${@:2}" "$1" --version) || return 1
  [ "$output" = "${1##*/} $release_version" ] || { echo "printed '$output'"; return 1; }
}

# is_pe OBJDUMP FORMAT MAGIC KIND FILE: a Windows file of that format, read
# with the target's objdump; MAGIC is what its optional header says, PE32 or
# PE32+; KIND is DLL for a DLL, program for a program.
is_pe() {
  local objdump=$1 format=$2 magic=$3 kind=$4 file=$5 header
  header=$("$objdump" -f "$file") || return 1
  grep -q "file format $format\$" <<<"$header" || { echo "not $format"; return 1; }
  header=$("$objdump" -p "$file") || return 1
  [ "$(awk '$1 == "Magic" { print $3 }' <<<"$header")" = "($magic)" ] ||
    { echo "not $magic"; return 1; }
  if grep -qx $'\tDLL' <<<"$header"; then
    [ "$kind" = DLL ] || { echo "a DLL"; return 1; }
  else
    [ "$kind" = program ] || { echo "not a DLL"; return 1; }
  fi
}

# set_elf_kinds FORMAT ARCH: the kinds of a Linux package for ARCH, whose
# files are ELF files of FORMAT.
set_elf_kinds() {
  kind="an ELF $2 shared object"
  kind_check=(is_elf "$target_objdump" "$1" library)
  program_kind="an ELF $2 executable"
  program_check=(is_elf "$target_objdump" "$1" program)
}

# set_library_kind PLATFORM-ARCH: sets kind, the kind of library that package
# ships, and kind_check, the command that checks a file is of that kind (with
# the objdump of the package's build, which reads its target's files); and
# for the programs it ships, program_kind and program_check.
set_library_kind() {
  program_kind="of a kind this script knows"
  program_check=(false)
  case $1 in
    linux-x86_64) set_elf_kinds elf64-x86-64 x86-64 ;;
    linux-aarch64) set_elf_kinds elf64-littleaarch64 aarch64 ;;
    windows-x86)
      kind="a PE32 i386 DLL"
      kind_check=(is_pe "$target_objdump" pei-i386 PE32 DLL) ;;
    windows-x86_64)
      kind="a PE32+ x86-64 DLL"
      kind_check=(is_pe "$target_objdump" pei-x86-64 PE32+ DLL) ;;
    *)
      kind="of a kind this script knows"
      kind_check=(false) ;;
  esac
}

# debug_link_matches OBJCOPY LIBRARY DEBUG: LIBRARY's debug link names DEBUG's
# file and carries its CRC-32, which gzip's trailer holds in the same byte
# order.
debug_link_matches() {
  local link=$work/debug-link name
  "$1" --dump-section .gnu_debuglink="$link" "$2" "$work/dumped" || return 1
  name=$(head -z -n1 "$link" | tr -d '\0')
  [ "$name" = "${3##*/}" ] || { echo "names '$name'"; return 1; }
  [ "$(tail -c4 "$link" | od -An -tx1)" = "$(gzip -c "$3" | tail -c8 | head -c4 | od -An -tx1)" ] ||
    { echo "CRC-32 differs"; return 1; }
}

# build_id OBJDUMP FILE: the signature of FILE's CodeView record.
build_id() { "$1" -p "$2" | sed -n 's/.*(format RSDS signature \([0-9a-f]*\) age .*/\1/p'; }

# same_build_id OBJDUMP LIBRARY DEBUG: both have one build id, the same.
same_build_id() {
  local library debug
  library=$(build_id "$1" "$2") debug=$(build_id "$1" "$3")
  if [ -z "$library" ] || [ "$library" != "$debug" ]; then echo "'$library' and '$debug'"; return 1; fi
}

# reads_exports_as_lines OBJDUMP ADDR2LINE LIBRARY DEBUG: each address LIBRARY
# exports, as a crash report would give it, is a source file's line in DEBUG.
reads_exports_as_lines() {
  local headers base rva addresses=() lines
  headers=$("$1" -p "$3") || return 1
  base=0x$(awk '$1 == "ImageBase" { print $2 }' <<<"$headers")
  while read -r rva; do
    addresses+=("$(printf '0x%x' $((base + 0x$rva)))")
  done < <(awk '/Export RVA$/ { print $(NF - 2) }' <<<"$headers")
  [ "${#addresses[@]}" -gt 0 ] || { echo "no exports"; return 1; }
  lines=$("$2" -e "$4" "${addresses[@]}") || return 1
  ! grep -v ':[1-9][0-9]*$' <<<"$lines"
}

# Each package's README.txt is the one its build generated from
# packaging/README.txt.in, titled for the version in CMakeLists.txt.

for package in "${release_packages[@]}"; do
  # Without the names of its build's artefacts nothing of the package can be checked.
  if ! read_release_package "$package"; then
    echo "FAIL  $target: build/$preset/artefacts.env names no artefacts"
    failed=$((failed + 1))
    continue
  fi
  readme=build/$preset/packaging/README.txt
  zip=$dir/$name.zip
  # Nothing more can be checked in a zip that is missing or unreadable.
  check "$name.zip can be read" cmake -E tar tf "$zip" || continue
  listed=$(printf '%s, ' "$library" README.txt LICENSE ${bundle:+"$bundle/"} "${tool_files[@]}" \
    "$presets_folder/")
  check "$name.zip holds exactly $name/ with ${listed%, }" \
    holds_exactly "$zip" "$name" "$library" README.txt LICENSE "${bundle_files[@]/#/$bundle/}" \
    "${tool_files[@]}" "${preset_files[@]}"

  mkdir -p "$work/$target"
  (cd "$work/$target" && cmake -E tar xf "$zip")
  unpacked=$work/$target/$name
  set_library_kind "$target"
  check "$name: $library is not empty" test -s "$unpacked/$library"
  check "$name: $library is $kind" "${kind_check[@]}" "$unpacked/$library"
  check "$name: README.txt is the one generated for it" cmp "$unpacked/README.txt" "$readme"
  check "$name: README.txt is titled for version $release_version" \
    grep -Fqx "$title $release_version" "$unpacked/README.txt"
  check "$name: README.txt names vendor version $release_vendor_version" \
    grep -Fq "vendor version show $release_vendor_version." "$unpacked/README.txt"
  check "$name: LICENSE is the repository's" cmp "$unpacked/LICENSE" LICENSE
  if [ -n "$bundle" ]; then
    check "$name: $bundle/$lv2_binary is $kind" \
      "${kind_check[@]}" "$unpacked/$bundle/$lv2_binary"
    check "$name: $bundle describes version $release_version" \
      grep -Fq "doap:revision \"$release_version\"" "$unpacked/$bundle/$lv2_description"
  fi
  for i in "${!preset_files[@]}"; do
    check "$name: ${preset_files[i]} is the one the Linux build saved" \
      cmp "$unpacked/${preset_files[i]}" "${preset_sources[i]}"
  done
  if [ -n "$tool" ]; then
    check "$name: $tool is $program_kind" "${program_check[@]}" "$unpacked/$tool"
    check "$name: $tool has no debug sections" \
      has_no_debug_sections "$target_objdump" "$unpacked/$tool"
    check "$name: $tool --version prints '$tool $release_version'" \
      prints_version "$unpacked/$tool" "${target_emulator[@]}"
    for i in "${!tool_files[@]}"; do
      [ "${tool_files[i]}" = "$tool" ] ||
        check "$name: ${tool_files[i]} is the repository's ${tool_sources[i]}" \
          cmp "$unpacked/${tool_files[i]}" "${tool_sources[i]}"
    done
  fi
done

# The Windows installer, one 32-bit program for both DLLs; what it installs
# and where, tests/installers/windows_installer.sh tests under wine.
setup=$artefact_stem-$release_version-windows-setup.exe
check "$setup is a PE32 program" is_pe i686-w64-mingw32-objdump pei-i386 PE32 program "$dir/$setup"

# The libraries shipped stripped: as each zip and the installer hold them,
# against their debug files in the symbols archive.
unpacked_setup=$work/setup
check "$setup can be unpacked" 7z x -y -bd -o"$unpacked_setup" "$dir/$setup"
debug_files=()
for package in "${release_packages[@]}"; do
  # The packages whose artefacts.env is missing were reported above.
  read_release_package "$package" || continue
  [ -n "$debug_file" ] || continue
  symbols_zip=$dir/$symbols_name.zip
  debug_entry=$symbols_folder/${debug_file##*/}
  debug_files+=("$debug_entry")
  # Unpacked once, for the first library whose debug file it holds.
  if [ ! -d "$work/$symbols_name" ]; then
    mkdir "$work/$symbols_name"
    check "$symbols_name.zip can be read" sh -c 'cd "$1" && cmake -E tar xf "$2"' _ "$work" "$symbols_zip"
  fi
  shipped=$work/$target/$name/$library
  debug=$work/$symbols_name/$debug_entry
  # 7-Zip names the installer's folders by variables it cannot resolve.
  from_setup=$(find "$unpacked_setup" -type f -name "$library")
  check "$name: $library has no debug sections" has_no_debug_sections "$target_objdump" "$shipped"
  check "$setup: $library has no debug sections" \
    has_no_debug_sections "$target_objdump" "$from_setup"
  check "$setup: $library is the zip's" cmp "$from_setup" "$shipped"
  check "$symbols_name.zip: $debug_entry is the file $library's debug link names, CRC-32 included" \
    debug_link_matches "$target_objcopy" "$shipped" "$debug"
  check "$symbols_name.zip: $debug_entry has $library's build id" \
    same_build_id "$target_objdump" "$shipped" "$debug"
  check "$symbols_name.zip: $debug_entry reads $library's exported addresses as source lines" \
    reads_exports_as_lines "$target_objdump" "$target_addr2line" "$shipped" "$debug"
done
check "$symbols_name.zip holds exactly $symbols_name/ with a debug file per library" \
  holds_exactly "$symbols_zip" "$symbols_name" "${debug_files[@]}"

# The Debian packages, one per architecture: what the build machine's installs
# and where, and lintian's verdict on each, tests/installers/debian_package.sh
# tests, as root. The others cannot be installed here; that they install the
# same files as the first stands for it.

# names DEB FIELD VALUE: the package's control information gives FIELD that VALUE.
names() {
  local value
  value=$(dpkg-deb --field "$1" "$2")
  [ "$value" = "$3" ] || { echo "$2: $value"; return 1; }
}
# copyright_license DEB: the licence text of the package's copyright file, the
# last License paragraph with its indent and its "." lines undone.
copyright_license() {
  dpkg-deb --fsys-tarfile "$1" | tar -xOf - "./usr/share/doc/$debian_name/copyright" |
    awk '/^License:/ { text = "" }
         /^ / { line = substr($0, 2); if (line == ".") line = ""; text = text line "\n" }
         END { printf "%s", text }'
}
# installed_paths DEB: every file and folder the package installs, sorted.
installed_paths() { dpkg-deb --fsys-tarfile "$1" | tar -tf - | sort; }
# installs_same_paths DEB REFERENCE: both packages install the same paths;
# prints each path only one of them installs.
installs_same_paths() {
  local differences
  differences=$(diff <(installed_paths "$2") <(installed_paths "$1") |
    sed -n 's/^< /not installed: /p; s/^> /installed only here: /p')
  [ -z "$differences" ] || { echo "$differences"; return 1; }
}

read_debian_package "${debian_architectures[0]}"
reference=$dir/${debian_package##*/}
for architecture in "${debian_architectures[@]}"; do
  read_debian_package "$architecture"
  deb=$dir/${debian_package##*/}
  check "${deb##*/} can be read" dpkg-deb --info "$deb" || continue
  check "${deb##*/} is package $debian_name" names "$deb" Package "$debian_name"
  check "${deb##*/} is version $release_version" names "$deb" Version "$release_version"
  check "${deb##*/} is for $architecture" names "$deb" Architecture "$architecture"
  check "${deb##*/}: its copyright file holds LICENSE" cmp <(copyright_license "$deb") LICENSE
  [ "$deb" = "$reference" ] ||
    check "${deb##*/} installs the paths ${reference##*/} installs" \
      installs_same_paths "$deb" "$reference"
done

# covers_exactly FOLDER SUMS: SUMS lists every other file in FOLDER, and
# nothing else.
covers_exactly() {
  local listed present
  [ -f "$1/$2" ] || { echo "no $2"; return 1; }
  listed=$(awk '{ sub(/^\*/, "", $2); print $2 }' "$1/$2" | sort)
  present=$(find "$1" -maxdepth 1 -type f ! -name "$2" -printf '%f\n' | sort)
  [ "$listed" = "$present" ] || { diff <(echo "$listed") <(echo "$present"); return 1; }
}

if check "$release_checksums covers every release file and nothing else" \
  covers_exactly "$dir" "$release_checksums"; then
  check "every release file matches its line in $release_checksums" \
    sh -c 'cd "$1" && sha256sum --check --strict --quiet "$2"' _ "$dir" "$release_checksums"
fi

checks_summary release
