#!/usr/bin/env bash
# Mixes a six-channel file through the LV2 edition with lv2file and compares
# every sample of its six outputs with the expected mix: settings given as
# port values (-p), factory presets and presets of the test's own (-P, by
# label), one of them with a chunk that disagrees with its port values.
# A line per check, then "lv2file: N passed, M failed".
#
#   tests/real_hosts/lv2_cli/lv2file.sh BUILD_DIR
set -uo pipefail
# shellcheck source=tests/real_hosts/lv2_cli/common.sh
source "$(dirname "$0")/common.sh" "${1:-}" lv2file

own="0,-6,-3,0,0,1,2,0"
add_preset own.ttl "$own" "$own" "Test preset with ports and chunk"
add_preset disagree.ttl "$own" "-12,0,0,1,0,0,3,1" "Test preset whose chunk disagrees"

# DESCRIPTION | lv2file's options, ";" between | the control values that must
# play, in port order (see docs/editions.md). A preset is applied before the
# -p values; -P takes a preset's label.
cases=(
  "settings (-p)|-p;level_stereo_2:-6;-p;mute_stereo_3:1;-p;master_level:-3|0,-6,0,0,0,1,-3,0"
  "settings with the busses passed through|-p;busses_silent_after_mixer:1;-p;level_stereo_1:-12|-12,0,0,0,0,0,0,1"
  "the factory preset \"Pair 1 only\"|-P;Pair 1 only|0,0,0,0,1,1,0,0"
  "a factory preset, then -p|-P;Stems to stereo at -6 dB, busses passed through;-p;master_level:3|-6,-6,-6,0,0,0,3,1"
  "the test's preset with ports and chunk|-P;Test preset with ports and chunk|$own"
  "a preset's ports win over a chunk that disagrees|-P;Test preset whose chunk disagrees|$own"
)

# mixes NAME OPTIONS: lv2file makes NAME.wav from the tone with these options.
mixes() {
  local options
  IFS=';' read -ra options <<<"$2"
  guarded "$tmp/$1.log" lv2file -i "$tmp/tone.wav" -o "$tmp/$1.wav" --ignore-clipping "${options[@]}" \
    "$lv2_uri" || { local status=$?; tail -n 3 "$tmp/$1.log"; return "$status"; }
}

n=0
for entry in "${cases[@]}"; do
  IFS='|' read -r what options values <<<"$entry"
  n=$((n + 1))
  check "$what: lv2file mixes" mixes "case$n" "$options" &&
    check "$what: all six outputs are the mix" outputs_are_mix "$tmp/case$n.wav" "$values"
done

checks_summary lv2file
