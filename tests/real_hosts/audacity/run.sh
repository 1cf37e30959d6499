#!/usr/bin/env bash
# Runs both editions of the Linux plugin in Audacity 3.2 on an Xvfb display of
# its own, scripted through Audacity's mod-script-pipe: each case imports a
# generated stereo file, applies the plugin with a setting saved before the
# start, a user preset or a factory preset, exports a 32-bit float WAV and
# compares it sample by sample with the expected mix; both editions must give
# the same samples. A line per check, then "audacity: N passed, M failed".
# The script pipes' names are fixed per user, so it refuses to run beside
# another scripted Audacity; it ends every process it starts.
#
#   tests/real_hosts/audacity/run.sh BUILD_DIR
set -uo pipefail

build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
# shellcheck source=cmake/artefacts.env.in
source "$build/artefacts.env" || exit 1
# shellcheck source=tools/checks.sh
source "$root/tools/checks.sh"
wav=(python3 "$here/../lmms/lmms_check.py")
mix=(python3 "$here/../expected_mix.py")

# Each case: its name, how the setting reaches Audacity (current: the saved
# setting the effect starts with; user:NAME or factory:NAME, a preset chosen in
# the script command; for a name it does not know Audacity plays the current
# setting, and it offers the VST 2.x edition no factory presets), the
# editions, and the eight parameters: levels 1-3 (dB), mutes 1-3, master level
# (dB), busses. Only pair 1 is heard: Audacity's tracks are
# stereo, so they feed inputs 1-2 and keep outputs 1-2.
cases=(
  "saved setting|current|vst lv2|-6,0,0,0,0,0,3,0"
  "user preset|user:Pair 1 down|vst lv2|-9,0,0,0,0,0,-3,0"
  "user preset, pair 1 muted|user:Pair 1 muted|vst lv2|-6,0,0,1,0,0,3,0"
  "factory preset|factory:Stems to stereo at -6 dB, busses passed through|lv2|-6,-6,-6,0,0,0,0,1"
)

# shellcheck source=tests/real_hosts/audacity/audacity.sh
source "$here/audacity.sh"

# reported STATUS TEXT: a check's outcome worked out beforehand, for steps that
# start processes and so must not run in a check's subshell.
reported() {
  echo "$2"
  return "$1"
}

others=$(pipe_users)
if [ -n "$others" ]; then
  check "no other scripted Audacity runs (its script pipes have fixed names)" \
    reported 1 "processes $(paste -sd, <<<"$others") hold /tmp/audacity_script_pipe.*.$(id -u) open"
  checks_summary audacity
  exit
fi
audacity_setup "$build" || exit 1

register >"$work/why"
check "Audacity registers both editions on its first start" reported $? "$(cat "$work/why")"

# registry_entry KEY=VALUE: the name, vendor and version of the registry's entry with that line.
registry_entry() {
  awk -v want="$1" 'BEGIN {RS = "\n\\["; FS = "\n"} index($0 "\n", "\n" want "\n") {
    for (i = 1; i <= NF; i++) if ($i ~ /^(Name|Vendor|Version)=/) printf "%s ", $i }' "$config/pluginregistry.cfg"
}
for key in "Name=$effect_name_shown" "Path=$lv2_uri"; do
  entry=$(registry_entry "$key")
  check "registry entry of $key: ${entry% }" reported "$([[ $entry == *"Vendor=$vendor "* ]]; echo $?)" \
    "vendor not $vendor"
done

settings=()
for row in "${cases[@]}"; do
  IFS='|' read -r _ how _ values <<<"$row"
  case $how in
    current) settings+=("current=$values") ;;
    user:*) settings+=("${how#user:}=$values") ;;
  esac
done
"${audacity_tool[@]}" settings "$config/pluginsettings.cfg" "$effect_name_shown" "$effect_name" "$vendor" "${settings[@]}"
"${wav[@]}" tone "$work/tone.wav"

start_audacity
check "Audacity's main window opens" main_window
open_session
# Audacity names an effect's script command after the effect's name.
check "the script pipe answers" ask "GetInfo: Type=Commands Format=Brief"
declare -A command
for edition in vst lv2; do
  name=$effect_name_shown
  [ "$edition" = lv2 ] && name=$effect_name
  id=$(awk -F'" "' -v name="$name" '$2 == name {sub(/^ *"/, "", $1); print $1}' "$work/answer")
  check "Audacity's commands list the $edition edition as \"$name\"" \
    reported "$([ -n "$id" ]; echo $?)" "no command of that name" && command[$edition]=$id
done
# For a VST plugin Audacity describes its channels, as the plugin declares them.
tip=$(awk -F'" "' -v name="$effect_name_shown" '$2 == name {sub(/" *$/, "", $4); print $4}' "$work/answer")
check "Audacity describes the VST 2.x edition as \"Audio In: 6, Audio Out: 6\"" \
  reported "$([ "$tip" = "Audio In: 6, Audio Out: 6" ]; echo $?)" "it says \"$tip\""

# apply EDITION HOW OUT: the plugin over the whole imported file, exported to OUT.
apply() {
  local choice=
  case $2 in
    user:*) choice=" Use_Preset=\"User Preset:${2#user:}\"" ;;
    factory:*) choice=" Use_Preset=\"Factory Preset:${2#factory:}\"" ;;
  esac
  ask "Import2: Filename=$work/tone.wav" "SelectAll:" "${command[$1]}:$choice" \
    "Export2: Filename=$3 NumChannels=2" "RemoveTracks:"
}

n=0
for row in "${cases[@]}"; do
  IFS='|' read -r name how editions values <<<"$row"
  n=$((n + 1))
  for edition in $editions; do
    out=$work/case$n-$edition.wav
    [ -n "${command[$edition]:-}" ] || continue
    check "$edition, $name: applied and exported" apply "$edition" "$how" "$out" &&
      check "$edition, $name: the expected mix ($values)" "${mix[@]}" compare "$work/tone.wav" "$out" "$values"
  done
  [ "$editions" = "vst lv2" ] && [ -f "$work/case$n-vst.wav" ] && [ -f "$work/case$n-lv2.wav" ] &&
    check "$name: both editions give the same samples" "${wav[@]}" same "$work/case$n-vst.wav" "$work/case$n-lv2.wav" 0
done

checks_summary audacity
