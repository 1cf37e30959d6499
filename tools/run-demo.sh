#!/usr/bin/env bash
# Builds the plugin and our command-line host, shows what a host sees of the
# plugin, then downmixes a six-channel file to stereo with it and prints the
# settings used and every channel's peak before and after.
#
#   tools/run-demo.sh [INPUT [OUTPUT]]
#
# Without INPUT a two-second test file with a tone of its own on each of six
# channels is made; OUTPUT defaults to build/demo/output/stereo-mix.wav. The
# demo's own files there are replaced on every run; an OUTPUT you name is
# refused if it exists, as trimhost refuses it. The build is the demo preset:
# the plugin and trimhost alone, without the tests.
set -euo pipefail
input=${1:+$(realpath "$1")}
output=${2:+$(realpath -m "$2")}
cd "$(dirname "$0")/.."

tools/install-build-deps.sh build >/dev/null
cmake --preset demo >/dev/null
cmake --build --preset demo >/dev/null

trimhost=build/demo/trimhost/trimhost
# shellcheck source=cmake/artefacts.env.in
source build/demo/artefacts.env
plugin=build/demo/src/$plugin_library
work=build/demo/output
mkdir -p "$work"
if [ -z "$input" ]; then
  input=$work/six-channels.wav
  "$trimhost" tone "$input" --channels 6 --seconds 2 --rate 48000 --overwrite
fi
replace=()
[ -n "$output" ] || replace=(--overwrite)
output=${output:-$work/stereo-mix.wav}

echo "== What a host sees"
"$trimhost" info "$plugin"
echo
echo "== Downmix $input to $output"
"$trimhost" render "$plugin" "$input" "$output" "${replace[@]}" --outputs 2 \
  --set "level stereo 2=-6 dB" --set "mute stereo 3=mute"
