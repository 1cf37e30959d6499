#!/usr/bin/env bash
# Checks, without changing anything, that every tracked C++ file (*.cpp, *.h)
# is laid out as .clang-format says and includes nothing by a path that climbs
# out of its folder ("../"). Prints one line per file that fails, with the
# first line to look at, then "format: N passed, M failed"; exits non-zero
# when any file fails.
#
#   tools/check-format.sh
#
# Versions of clang-format lay code out differently; the check is meant for
# Debian's, which tools/install-build-deps.sh installs. CLANG_FORMAT names
# another program. `clang-format -i --style=file FILE` lays a file out.
#
# No errexit: a file clang-format cannot check is a failed check, counted and shown.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

if [ "$#" -gt 0 ]; then
  echo "usage: tools/check-format.sh" >&2
  exit 2
fi
clang_format=${CLANG_FORMAT:-clang-format}
if ! command -v "$clang_format" >/dev/null; then
  echo "check-format: no $clang_format; tools/install-build-deps.sh installs it" >&2
  exit 1
fi
mapfile -t files < <(git ls-files -- '*.cpp' '*.h') || exit 1
if [ "${#files[@]}" -eq 0 ]; then
  echo "check-format: git lists no .cpp or .h files" >&2
  exit 1
fi

# Each layer and component sees only its own include root; an include that
# climbs out with ../ reaches a neighbour's headers past that root.
climbing_include='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"][^">]*\.\./'

passed=0
failed=0
for file in "${files[@]}"; do
  # Removed from the work tree but not yet from git: nothing left to lay out.
  [ -e "$file" ] || continue
  if climb=$(grep -m 1 -nE "$climbing_include" "$file"); then
    failed=$((failed + 1))
    echo "FAIL  $file: line ${climb%%:*} includes by a path that climbs out of its folder"
    continue
  fi
  if report=$("$clang_format" --dry-run --Werror --style=file "$file" 2>&1); then
    passed=$((passed + 1))
    continue
  fi
  failed=$((failed + 1))
  places=$(grep -cF '[-Wclang-format-violations]' <<<"$report")
  if [ "$places" -gt 0 ]; then
    first=$(sed -nE 's/^.*:([0-9]+):[0-9]+: error: .*\[-Wclang-format-violations\]$/\1/p' \
      <<<"$report" | head -n 1)
    [ "$places" -eq 1 ] && what="1 place" || what="$places places"
    echo "FAIL  $file: differs in $what, the first on line $first"
  else
    echo "FAIL  $file: $(head -n 1 <<<"$report")"
  fi
done

echo "format: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
