#!/usr/bin/env bash
# Runs the LV2 edition in ecasound 2.9.3, all six channels (ecasound hosts no
# VST 2.x plugin): its LV2 listing, then a generated six-channel file through
# the plugin, set on the command line and changed at an exact frame by a
# controller envelope, every output sample compared with the expected mix.
# Ends with "ecasound: N passed, M failed".
#
#   tests/real_hosts/ecasound/run.sh BUILD_DIR   # a Linux build tree with the bundle and trimhost
set -uo pipefail

build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=cmake/artefacts.env.in
source "$build/artefacts.env" || exit 1
# shellcheck source=tools/checks.sh
source "$here/../../../tools/checks.sh"
mix="$here/../expected_mix.py"

# shellcheck source=tests/real_hosts/private_run.sh
source "$here/../private_run.sh" ecasound
# ecasound sees no LV2 plugin but ours.
export LV2_PATH=$tmp/lv2
# ecasound wraps what it prints at COLUMNS characters, inside words too.
export COLUMNS=100000
mkdir -p "$LV2_PATH"
ln -s "$build/$lv2_bundle" "$LV2_PATH/"

# run LOG COMMAND...: guarded, with the end of its log shown when it fails.
run() {
  guarded "$@" || { local status=$?; tail -n 3 "$1"; return "$status"; }
}

# ecasound reads controllers once per buffer, at its first frame: an envelope
# stepping from 0.5 s to 0.501 s (frames 24000 to 24048) acts from the next
# buffer's first frame on, 24064, and not one frame before or after.
rate=48000 block=256
change_frame=$((rate / 2 / block * block + block))

# Each case: what it checks | the plugin's parameters on the command line (in
# port order; those not given keep their default, 0) | an envelope on one
# parameter: PARAMETER (counted from 1, as ecasound does),FROM,TO.
cases=(
  "the defaults: three pairs at unity, busses silent||"
  "pair 1 at -6 dB, pair 3 muted, master -3 dB|-6,0,0,0,0,1,-3,0|"
  "levels -6, -12 and -20 dB, master +3 dB, busses passed through|-6,-12,-20,0,0,0,3,1|"
  "pair 2 muted from frame $change_frame by an envelope|-6,0,0,0,0,0,-3,1|5,0,1"
  "master from -3 to +3 dB at frame $change_frame by an envelope|-6,-12,0,0,0,1,-3,0|7,-3,3"
)

# setting SETTINGS INDEX VALUE: the eight settings with the one at INDEX
# (from 1) replaced; without INDEX the settings given, padded with defaults.
setting() {
  local -a values
  IFS=, read -ra values <<<"$1"
  while [ "${#values[@]}" -lt 8 ]; do values+=(0); done
  [ -z "${2:-}" ] || values[$2 - 1]=$3
  (IFS=,; echo "${values[*]}")
}

# mix_case NAME PARAMETERS ENVELOPE: renders the file through the plugin and
# compares every sample with the mix, before and after the envelope's step.
mix_case() {
  local out=$tmp/out.wav envelope=() expected
  local -a step
  expected=("$(setting "$2")")
  if [ -n "$3" ]; then
    IFS=, read -ra step <<<"$3"
    envelope=("-klg:$3,2,0.5,0,0.501,1")
    expected=("$(setting "$2" "${step[0]}" "${step[1]}")" "$change_frame"
      "$(setting "$2" "${step[0]}" "${step[2]}")")
  fi
  rm -f "$out"
  run "$tmp/ecasound.log" ecasound -q -x -b:$block -f:f32_le,6,$rate -i:sndfile,"$tmp/in.wav" \
    "-elv2:$lv2_uri${2:+,$2}" "${envelope[@]}" -o:sndfile,"$out" &&
    python3 "$mix" compare "$tmp/in.wav" "$out" "${expected[@]}"
}

# The listing, one line per plugin: URI,name,description,parameter count,
# then eleven fields per parameter, its name first. Without a chain setup
# ecasound fails after listing: it gets one of null objects, 0 s long.
listed() {
  run "$tmp/list.log" ecasound -C -i:null -o:null -t:0 -E map-lv2-list || return 1
  grep -F "$lv2_uri," "$tmp/list.log" | awk -F, '{ print $2; print $3; print $4; for (i = 5; i <= NF; i += 11) print $i }'
}

# The parameter names the VST 2.x edition gives trimhost, the same in both editions.
trimhost_names() {
  "$build/trimhost/trimhost" info "$build/src/$plugin_library" --json >"$tmp/info.json" &&
    python3 -c 'import json, sys; print("\n".join(p["name"] for p in json.load(sys.stdin)["parameters"]))' \
      <"$tmp/info.json"
}

# The listing's name, description, count and parameter names, each line that
# differs shown: "<" as expected, ">" as listed.
listing_shows_plugin() {
  local listing names
  listing=$(listed) && names=$(trimhost_names) || return 1
  diff <(printf '%s\n' "$effect_name" "$effect_name - Author: '$vendor'" 8 "$names") - <<<"$listing" |
    grep '^[<>]'
  [ "${PIPESTATUS[0]}" -eq 0 ]
}

check "ecasound lists \"$effect_name\" by $vendor with the parameters trimhost shows" listing_shows_plugin
python3 "$mix" tone "$tmp/in.wav" 1 "$rate"
for case in "${cases[@]}"; do
  IFS='|' read -r name parameters envelope <<<"$case"
  check "$name" mix_case "$name" "$parameters" "$envelope"
done
checks_summary ecasound
