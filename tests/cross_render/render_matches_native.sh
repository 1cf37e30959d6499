#!/usr/bin/env bash
# A build for another processor renders exactly as the build machine's does:
# the same input files through the same settings, once with the native
# trimhost and plugin of NATIVE_BUILD (tools/run-tests.sh builds the demo
# preset for it) and once with this build's, run under EMULATOR, must give
# files equal byte for byte. The inputs are six tones, and a file of hostile
# samples (NaNs, infinities, subnormals, values past the float limit) that
# the sanitising must treat alike on both processors.
#
#   render_matches_native.sh NATIVE_BUILD TRIMHOST PLUGIN EMULATOR...
set -euo pipefail
native_build=$1 trimhost=$2 plugin=$3
shift 3
emulator=("$@")

fail() { echo "render_matches_native: $*" >&2; exit 1; }
[ -f "$native_build/artefacts.env" ] ||
  fail "no native build in $native_build: cmake --preset demo && cmake --build --preset demo"
# shellcheck source=cmake/artefacts.env.in
source "$native_build/artefacts.env"
native_trimhost=$native_build/trimhost/trimhost
native_plugin=$native_build/src/$plugin_library

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/native" "$work/target"
"$native_trimhost" tone "$work/tones.wav" --channels 6 --seconds 0.5 >/dev/null
python3 - "$work/hostile.wav" <<'EOF'
import struct, sys
values = [float("nan"), float("inf"), -float("inf"), 1e-40, -1e-45, 3e38, -3e38, 1e30,
          0.5, -0.25, 1.0, 0.0, -0.0, 1e-38, 7e-39, 2.0]
frames = 4099
data = b"".join(struct.pack("<f", values[(frame * 7 + channel * 3) % len(values)])
                for frame in range(frames) for channel in range(6))
fmt = struct.pack("<HHIIHH", 3, 6, 48000, 48000 * 24, 24, 32)
body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
open(sys.argv[1], "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
EOF

# One row per render: its name, input, then trimhost's render options.
renders=(
  "defaults tones.wav"
  "mixed tones.wav --set 0=-6.5 --set 2=-20 --set 6=4.5 --set-normalised 4=1 --set-normalised 7=1 --block 37"
  "mixed-double tones.wav --double --set 1=-3 --set 6=9 --set-normalised 3=1 --block 1000"
  "hostile hostile.wav --set 6=9 --set-normalised 7=1 --block 5"
  "hostile-double hostile.wav --double --set 0=-167 --block 64"
)
for row in "${renders[@]}"; do
  read -r name input options <<<"$row"
  read -ra options <<<"$options"
  "$native_trimhost" render "$native_plugin" "$work/$input" "$work/native/$name.wav" \
    "${options[@]}" >/dev/null 2>&1 || fail "$name: the native render failed"
  "${emulator[@]}" "$trimhost" render "$plugin" "$work/$input" "$work/target/$name.wav" \
    "${options[@]}" >/dev/null 2>&1 || fail "$name: the render under ${emulator[*]} failed"
  cmp "$work/native/$name.wav" "$work/target/$name.wav" || fail "$name: the renders differ"
  echo "$name: equal, $(stat -c %s "$work/target/$name.wav") bytes"
done
# The settings reached the plugin: a mix differs from the defaults' render.
! cmp -s "$work/target/defaults.wav" "$work/target/mixed.wav" || fail "the settings changed nothing"
