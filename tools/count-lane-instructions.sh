#!/bin/bash
# Instructions per frame of the aarch64 group forms at default settings,
# counted under qemu-user, where times mean nothing: the NEON lanes, the
# portable lanes, and the plain loop of the same arithmetic that GCC
# vectorises at -O3 (bench/vectorised_reference.cpp), for float and double.
# Each is built for aarch64 with the plugin's flags (bench/lane_count.cpp
# drives it) and run with one instruction per translation block
# (-singlestep), every one executed inside the counted function logged
# (-d exec,nochain -dfilter); a block of 2N frames less one of N frames,
# over N, is what the hot loop runs per frame, the call's own cost cancelled.
#   tools/count-lane-instructions.sh [BUILD_DIR]
# BUILD_DIR: any configured build, for its generated plugin_identity.h
# (default build/linux). Prints a Markdown table.
set -euo pipefail
# A failure inside $(...) ends the script too.
shopt -s inherit_errexit

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/linux}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
frames=1024

flags=(-std=c++17 -ffp-contract=off -I"$root/src" -I"$root/src/vst2" -I"$root/bench"
  -I"$root/tests/support" -I"$root" -I"$build/identity")
for lanes in neon portable; do
  name=${lanes^}
  sed -e "s/@lanes@/$lanes/g; s/@lanes_name@/$name/g; s/@lanes_struct@/${name}Lanes/g" \
    -e "s/#cmakedefine01 TRIMIXER_BASELINE_LANES/#define TRIMIXER_BASELINE_LANES 0/" \
    "$root/src/effect/downmix_groups_lanes.cpp.in" > "$work/$lanes.cpp"
done
aarch64-linux-gnu-g++ "${flags[@]}" -O3 -fno-trapping-math -c \
  "$root/bench/vectorised_reference.cpp" -o "$work/vectorised.o"
aarch64-linux-gnu-g++ "${flags[@]}" -O2 -static "$root/bench/lane_count.cpp" \
  "$work/neon.cpp" "$work/portable.cpp" "$work/vectorised.o" -o "$work/lane_count"
aarch64-linux-gnu-nm -C -S --defined-only "$work/lane_count" > "$work/symbols"

# The address range of the one function whose name holds $1, as -dfilter reads it.
range_of() {
  local matches
  matches=$(grep -F -- "$1" "$work/symbols" || true)
  if [ "$(printf '%s\n' "$matches" | grep -c .)" -ne 1 ]; then
    echo "not exactly one function named like: $1" >&2
    exit 1
  fi
  printf '%s\n' "$matches" | awk '{ print "0x" $1 "+0x" $2 }'
}

# Instructions run inside range $1 by: lane_count FORM SAMPLE FRAMES.
executed() {
  local range=$1
  shift
  qemu-aarch64 -singlestep -d exec,nochain -dfilter "$range" -D "$work/log" \
    "$work/lane_count" "$@"
  grep -c '^Trace' "$work/log"
}

per_frame() {
  local range once twice
  range=$(range_of "$1")
  once=$(executed "$range" "$2" "$3" "$frames")
  twice=$(executed "$range" "$2" "$3" $((2 * frames)))
  awk -v a="$once" -v b="$twice" -v n="$frames" 'BEGIN { printf "%.2f", (b - a) / n }'
}

echo "| Samples | NEON lanes | portable lanes | loop vectorised by GCC -O3 | NEON / portable | NEON / vectorised |"
echo "|---|---|---|---|---|---|"
for sample in float double; do
  # Default settings run the routine forms: bounded too, for floats.
  if [ "$sample" = float ]; then form="true, true, float>"; else form="false, true, double>"; fi
  neon=$(per_frame "mixGroups<(anonymous namespace)::NeonLanes, $form" neon "$sample")
  portable=$(per_frame "mixGroups<(anonymous namespace)::PortableLanes, $form" portable "$sample")
  vectorised=$(per_frame "vectorisedReferenceMix(MixFactors const&, $sample**" vectorised "$sample")
  awk -v s="$sample" -v n="$neon" -v p="$portable" -v v="$vectorised" \
    'BEGIN { printf "| %s | %s | %s | %s | %.2f | %.2f |\n", s, n, p, v, n / p, n / v }'
done
