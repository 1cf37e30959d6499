# shellcheck shell=bash disable=SC2154  # artefacts.env, sourced by the caller, and coproc set the names
# Sourced by the Audacity host test and its screenshot script: Audacity 3.2 with
# both editions of a build, on an Xvfb display of its own, scripted through its
# script pipe. The caller has sourced the build's artefacts.env; this file sets
# the EXIT trap that ends every process it starts and removes $work.
#
#   audacity_setup BUILD_DIR   home, settings and plugin folders, the display
#   register                   the first start, which only registers plugins
#   start_audacity; main_window; open_session; ask COMMAND...; stop_audacity

audacity_tool=(python3 "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/audacity_tool.py")
work=$(mktemp -d /tmp/trimixer-audacity.XXXXXX)
audacity_pid=
xvfb_pid=
session_pid=

# stop_audacity: ends the session and Audacity's whole process group, at once
# if asked nicely fails. Each step may find its process gone, under errexit too.
stop_audacity() {
  if [ -n "$session_pid" ]; then
    kill "$session_pid" 2>/dev/null || :
    wait "$session_pid" 2>/dev/null || :
    session_pid=
  fi
  [ -n "$audacity_pid" ] || return 0
  kill -TERM -- "-$audacity_pid" 2>/dev/null || :
  for _ in $(seq 50); do kill -0 "$audacity_pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL -- "-$audacity_pid" 2>/dev/null || :
  wait "$audacity_pid" 2>/dev/null || :
  audacity_pid=
}
audacity_cleanup() {
  stop_audacity
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || :
    wait "$xvfb_pid" 2>/dev/null || :
  fi
  cd / && rm -rf "$work"
}
trap audacity_cleanup EXIT
trap 'exit 130' INT TERM

# pipe_users: the processes that hold this user's script pipes open: another
# scripted Audacity, whose pipes ours would share.
pipe_users() {
  local fd
  for fd in /proc/[0-9]*/fd/*; do
    case $(readlink "$fd" 2>/dev/null) in
      /tmp/audacity_script_pipe.*."$(id -u)") fd=${fd#/proc/}; echo "${fd%%/*}" ;;
    esac
  done | sort -u
}

audacity_setup() {
  local build=$1
  # Audacity's settings, plugin registry and temporary projects stay in here.
  export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
  export XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$work/home
  # Audacity adds the system LV2 folders to LV2_PATH, and a folder "lv2" of
  # its working directory too: lilv crashes on any bundle found there.
  export VST_PATH=$work/plugins/vst LV2_PATH=$work/plugins/lv2
  config=$XDG_CONFIG_HOME/audacity
  mkdir -p "$config" "$work/temp" "$VST_PATH" "$LV2_PATH"
  ln -s "$build/src/$plugin_library" "$VST_PATH/"
  ln -s "$build/$lv2_bundle" "$LV2_PATH/"
  cd "$HOME" || return 1
  # Xvfb picks a free display and writes its number when it is ready.
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do grep -qx '[0-9]\+' "$work/display" 2>/dev/null && break; sleep 0.1; done
  DISPLAY=:$(head -1 "$work/display")
  export DISPLAY
}

# start_audacity: a fresh audacity.cfg each time, so that no project of an
# earlier start asks to be recovered.
start_audacity() {
  "${audacity_tool[@]}" config "$config" "$work/temp" || return 1
  setsid audacity >>"$work/audacity.log" 2>&1 &
  audacity_pid=$!
}

# main_window: waits for Audacity's project window. Commands sent before it
# is there are read by the script module but never answered.
main_window() {
  local windows
  for _ in $(seq 300); do
    windows=$(xwininfo -root -tree 2>/dev/null || :)
    [[ $windows == *'"Audacity": ('* ]] && return 0
    sleep 0.1
  done
  echo "none within 30 s"
  return 1
}

# register: the first start with new plugins only registers them, and its pipe
# never answers: start, wait until the registry lists both editions, end.
register() {
  local registry
  start_audacity || return 1
  for _ in $(seq 300); do
    registry=$(cat "$config/pluginregistry.cfg" 2>/dev/null || :)
    if grep -qxF "Name=$effect_name_shown" <<<"$registry" && grep -qxF "Path=$lv2_uri" <<<"$registry"; then
      stop_audacity
      return 0
    fi
    sleep 0.1
  done
  stop_audacity
  echo "within 30 s the registry listed $(grep -c '^Path=' <<<"$registry") plugins, not both editions"
  return 1
}

# open_session: one session talks to Audacity for the whole start; its ends
# are copied to plain descriptors, which subshells (a check's command) inherit.
open_session() {
  coproc session { exec "${audacity_tool[@]}" session; }
  session_pid=$session_PID
  exec 5>&"${session[1]}" 6<&"${session[0]}"
}

# ask COMMAND...: sends the commands in turn; the last answer's lines go to
# $work/answer. Fails, with the command and why, unless Audacity answered OK.
ask() {
  local command line
  for command in "$@"; do
    : >"$work/answer"
    echo "$command" >&5 || return 1
    # The session's own time limit ends each wait first; this one is a guard.
    while IFS= read -r -t 60 -u 6 line; do
      case $line in
        =OK) continue 2 ;;
        =*) echo "$command: ${line#=}"; return 1 ;;
      esac
      echo "$line" >>"$work/answer"
    done
    echo "$command: the session ended or stopped answering"
    return 1
  done
}
