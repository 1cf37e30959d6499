#!/usr/bin/env bash
# Checks that a release is what its commit builds: the commit is cloned into
# a folder of its own, tools/make-release.sh builds the release there, and
# every file of it must equal, byte for byte, the same file of another build
# of that commit, made earlier and elsewhere. Prints one line per release
# file, then "reproducible: N passed, M failed"; exits non-zero when any
# differs. A zip that differs is listed entry by entry, to show which.
#
#   tools/check-reproducible.sh [DIR [OTHER]]
#
# DIR holds a release already built from this checkout, whose working tree
# must then have no changes (the test command's release step passes
# build/release). Without DIR the commit is built twice, in two clones, one
# after the other. With OTHER nothing is built: the two releases are compared,
# a published one with a local build, say.
#
# No errexit: a command that fails here is a failed check, counted and shown.
set -uo pipefail
first=${1:+$(realpath "$1")}
second=${2:+$(realpath "$2")}
cd "$(dirname "$0")/.." || exit 1
source tools/release-packages.sh
# shellcheck source=tools/checks.sh
source tools/checks.sh

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

# build_release FOLDER: clones this commit into FOLDER and makes its release
# there, its output kept in FOLDER.log; prints the release folder.
build_release() {
  git clone -q --no-hardlinks . "$1" &&
    (cd "$1" && tools/make-release.sh) >"$1.log" 2>&1 &&
    echo "$1/$release_dir"
}

# zip_listing ZIP: each entry's name, CRC, date and mode, one per line.
zip_listing() {
  python3 -c 'import sys, zipfile
for entry in zipfile.ZipFile(sys.argv[1]).infolist():
    print(entry.filename, format(entry.CRC, "08x"), entry.date_time, oct(entry.external_attr >> 16))' "$1"
}

# same_file NAME: the file NAME is in both releases with the same bytes; for
# zips that differ, the entries that do.
same_file() {
  [ -f "$first/$1" ] || { echo "not in $first"; return 1; }
  [ -f "$second/$1" ] || { echo "not in $second"; return 1; }
  cmp -s "$first/$1" "$second/$1" && return 0
  case $1 in
    *.zip) diff <(zip_listing "$first/$1") <(zip_listing "$second/$1") | grep '^[<>]' ;;
    *) echo "the bytes differ" ;;
  esac
  return 1
}

if [ -z "$first" ]; then
  first=$(build_release "$work/first") || { tail -n 30 "$work/first.log"; exit 1; }
elif [ -z "$second" ] && ! git diff --quiet HEAD; then
  echo "check-reproducible: the working tree has changes; commit them or run without DIR" >&2
  exit 1
fi
if [ -z "$second" ]; then
  # A longer path than the first build's, so that no path can hide in its length.
  second=$(build_release "$work/second-build-of-$(git rev-parse --short HEAD)") ||
    { tail -n 30 "$work"/second-build-*.log; exit 1; }
fi

mapfile -t files < <({ ls "$first"; ls "$second"; } | sort -u)
for file in "${files[@]}"; do
  check "$file is the same in both builds" same_file "$file"
done
checks_summary reproducible
