#!/usr/bin/env bash
# Instructions per frame of the plugin's processing, counted by callgrind, and
# of the reference loops doing the same arithmetic; callgrind counts repeat
# exactly, unlike times on a shared machine.
#
#   bench/frame_cost.sh [BLOCK [BLOCKS]]     (defaults 256 and 200)
set -euo pipefail
cd "$(dirname "$0")/.."
block=${1:-256}
blocks=${2:-200}

cmake --preset linux >/dev/null
cmake --build --preset linux --target frame_cost trimixer_plugin >/dev/null
driver=build/linux/bench/frame_cost
# shellcheck source=cmake/artefacts.env.in
source build/linux/artefacts.env
plugin=build/linux/src/$plugin_library
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

instructions_per_frame() {
  local out="$work/callgrind.$1.$2"
  valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='*measuredProcessing*' \
    "$driver" "$plugin" "$1" "$2" "$block" "$blocks" >/dev/null 2>&1
  local total
  total=$(awk '/^summary:/ { print $2 }' "$out")
  awk -v t="$total" -v f="$((block * blocks))" 'BEGIN { printf "%.1f", t / f }'
}

printf '%-8s %-6s %12s %12s %12s %10s %10s\n' path block plugin reference vectorised 'p/ref' 'p/vec'
for precision in float double; do
  p=$(instructions_per_frame plugin "$precision")
  r=$(instructions_per_frame reference "$precision")
  v=$(instructions_per_frame vectorised "$precision")
  awk -v path="$precision" -v b="$block" -v p="$p" -v r="$r" -v v="$v" \
    'BEGIN { printf "%-8s %-6s %12s %12s %12s %10.2f %10.2f\n", path, b, p, r, v, p / r, p / v }'
done
