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
tool="python3 $here/audacity_tool.py"
wav="python3 $here/../lmms/lmms_check.py"

# Each case: its name, how the setting reaches Audacity (current: the saved
# setting the effect starts with; user:NAME or factory:NAME, a preset chosen in
# the script command), the editions, and the eight parameters: levels 1-3 (dB),
# mutes 1-3, master level (dB), busses silent. Only pair 1 is heard: Audacity's
# tracks are stereo, so they feed inputs 1-2 and keep outputs 1-2.
cases=(
  "saved setting|current|vst lv2|-6,0,0,0,0,0,3,0"
  "user preset|user:Pair 1 down|vst lv2|-9,0,0,0,0,0,-3,0"
  "user preset, pair 1 muted|user:Pair 1 muted|vst lv2|-6,0,0,1,0,0,3,0"
)

work=$(mktemp -d /tmp/trimixer-audacity.XXXXXX)
audacity_pid=
xvfb_pid=
session_pid=
# stop_audacity: ends Audacity's whole process group, at once if asked nicely fails.
stop_audacity() {
  [ -n "$audacity_pid" ] || return 0
  kill -TERM -- "-$audacity_pid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$audacity_pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL -- "-$audacity_pid" 2>/dev/null
  wait "$audacity_pid" 2>/dev/null
  audacity_pid=
}
cleanup() {
  [ -z "$session_pid" ] || kill "$session_pid" 2>/dev/null
  stop_audacity
  [ -z "$xvfb_pid" ] || { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# pipe_users: the processes that hold this user's Audacity script pipes open.
pipe_users() {
  local fd
  for fd in /proc/[0-9]*/fd/*; do
    case $(readlink "$fd" 2>/dev/null) in
      /tmp/audacity_script_pipe.*."$(id -u)") fd=${fd#/proc/}; echo "${fd%%/*}" ;;
    esac
  done | sort -u
}
others=$(pipe_users)
if [ -n "$others" ]; then
  check "no other scripted Audacity runs (its script pipes have fixed names)" \
    false "processes $(paste -sd, <<<"$others") hold /tmp/audacity_script_pipe.*.$(id -u) open"
  checks_summary audacity
  exit
fi

# Audacity's settings, plugin registry and temporary projects stay in here.
# Audacity adds the system LV2 folders to LV2_PATH, and a folder "lv2" in its
# working directory too (lilv crashes on a relative bundle path there).
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$work/home
export VST_PATH=$work/plugins/vst LV2_PATH=$work/plugins/lv2
config=$XDG_CONFIG_HOME/audacity
mkdir -p "$config" "$work/temp" "$VST_PATH" "$LV2_PATH"
ln -s "$build/src/$plugin_library" "$VST_PATH/"
ln -s "$build/$lv2_bundle" "$LV2_PATH/"
cd "$HOME" || exit 1

# Xvfb picks a free display and writes its number when it is ready.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do grep -qx '[0-9]\+' "$work/display" 2>/dev/null && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display")

# start_audacity: a fresh audacity.cfg each time, so that no project of an
# earlier start asks to be recovered.
start_audacity() {
  $tool config "$config" "$work/temp" || return 1
  setsid audacity >>"$work/audacity.log" 2>&1 &
  audacity_pid=$!
}

# main_window: waits for Audacity's project window. Commands sent before it
# is there are read by the script module but never answered.
main_window() {
  local windows
  for _ in $(seq 300); do
    windows=$(xwininfo -root -tree 2>/dev/null)
    [[ $windows == *'"Audacity": ('* ]] && return 0
    sleep 0.1
  done
  echo "none within 30 s"
  return 1
}

# registered: both editions are in Audacity's plugin registry, named as built.
registered() {
  local registry
  registry=$(cat "$config/pluginregistry.cfg" 2>/dev/null)
  grep -qxF "Name=$effect_name_shown" <<<"$registry" && grep -qxF "Path=$lv2_uri" <<<"$registry"
}
wait_registered() {
  for _ in $(seq 300); do registered && return 0; sleep 0.1; done
  echo "the registry lists $(grep -c '^Path=' "$config/pluginregistry.cfg" 2>/dev/null) plugins, not both editions"
  return 1
}

# The first start with new plugins only registers them; its pipe never answers.
start_audacity
check "Audacity registers both editions on its first start" wait_registered
stop_audacity
# registry_entry KEY=VALUE: the name, vendor and version of the registry's entry with that line.
registry_entry() {
  awk -v want="$1" 'BEGIN {RS = "\n\\["; FS = "\n"} index($0 "\n", "\n" want "\n") {
    for (i = 1; i <= NF; i++) if ($i ~ /^(Name|Vendor|Version)=/) printf "%s ", $i }' "$config/pluginregistry.cfg"
}
# reported STATUS TEXT: a check's outcome worked out beforehand.
reported() {
  echo "$2"
  return "$1"
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
$tool settings "$config/pluginsettings.cfg" "$effect_name_shown" "$effect_name" "$vendor" "${settings[@]}"
$wav tone "$work/tone.wav"

start_audacity
check "Audacity's main window opens" main_window
# One session talks to Audacity for the whole start; its ends are copied to
# plain descriptors, which subshells (a check's command) inherit.
coproc session { exec python3 "$here/audacity_tool.py" session; }
session_pid=$session_PID
exec 5>&"${session[1]}" 6<&"${session[0]}"

# ask COMMAND: sends one command; its answer's lines go to $work/answer.
# Fails, with why, unless Audacity answered OK.
ask() {
  local line
  : >"$work/answer"
  echo "$1" >&5 || return 1
  # The session's own time limit ends each wait first; this one is a guard.
  while IFS= read -r -t 60 -u 6 line; do
    case $line in
      =OK) return 0 ;;
      =*) echo "${line#=}"; return 1 ;;
    esac
    echo "$line" >>"$work/answer"
  done
  echo "the session ended or stopped answering"
  return 1
}

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

# apply EDITION HOW OUT: the plugin over the whole imported file, exported to OUT.
apply() {
  local choice= step why
  case $2 in
    user:*) choice=" Use_Preset=\"User Preset:${2#user:}\"" ;;
    factory:*) choice=" Use_Preset=\"Factory Preset:${2#factory:}\"" ;;
  esac
  for step in "Import2: Filename=$work/tone.wav" "SelectAll:" "${command[$1]}:$choice" \
    "Export2: Filename=$3 NumChannels=2" "RemoveTracks:"; do
    why=$(ask "$step") || { echo "$step: $why"; return 1; }
  done
}

# expected_mix OUT VALUES: pair 1 at its level times the master, or silence.
expected_mix() {
  local v
  IFS=, read -ra v <<<"$2"
  if [ "${v[3]}" = 1 ]; then
    $wav silent "$1" 1e-6
  else
    $wav scaled "$1" "$work/tone.wav" "$((v[0] + v[6]))" 1e-5
  fi
}

n=0
for row in "${cases[@]}"; do
  IFS='|' read -r name how editions values <<<"$row"
  n=$((n + 1))
  for edition in $editions; do
    out=$work/case$n-$edition.wav
    [ -n "${command[$edition]:-}" ] || continue
    check "$edition, $name: applied and exported" apply "$edition" "$how" "$out" &&
      check "$edition, $name: the expected mix ($values)" expected_mix "$out" "$values"
  done
  [ "$editions" = "vst lv2" ] && [ -f "$work/case$n-vst.wav" ] && [ -f "$work/case$n-lv2.wav" ] &&
    check "$name: both editions give the same samples" $wav same "$work/case$n-vst.wav" "$work/case$n-lv2.wav" 0
done

checks_summary audacity
