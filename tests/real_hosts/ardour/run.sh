#!/usr/bin/env bash
# Runs the Linux plugin in Ardour 7 headless, the VST and the LV2 edition each: Ardour's VST
# scanner or LV2 listing, then a session that mixes a six-channel file through the plugin,
# exported, reopened and restored from the plugin's own saved state alone: the VST
# edition's chunk restores the mix; the LV2 edition's ports win over its state, so with
# the port values dropped it plays what Ardour's controls then show, the defaults.
# Usage: tests/real_hosts/ardour/run.sh BUILD_DIR
set -uo pipefail

build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=cmake/artefacts.env.in
source "$build/artefacts.env" || exit 1
library=$plugin_library
effect="Kestrivane_trimixer 3 stereo pa"
bundle=$lv2_bundle
lv2_name="Kestrivane_trimixer 3 stereo pairs to 1 out"
lv2_uri=https://kestrivane.com/plugins/trimixer
scanner=/usr/lib/ardour7/ardour-vst-scanner
tool="python3 $here/session_tool.py"

tmp=$(mktemp -d /tmp/trimixer-ardour.XXXXXX)
child=
cleanup() {
  [ -n "$child" ] && kill -- "-$child" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Ardour reads and writes its config, caches and plugin scan results here only.
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_CACHE_HOME=$tmp/home/.cache XDG_DATA_HOME=$tmp/home/.local/share
# LV2_PATH replaces Ardour's LV2 search path: it sees no other LV2 plugin.
export LXVST_PATH=$tmp/vst VST_PATH=$tmp/vst LV2_PATH=$tmp/lv2
mkdir -p "$tmp/vst" "$tmp/lv2" "$XDG_CONFIG_HOME/ardour7/export"
ln -s "$build/src/$library" "$tmp/vst/$library"
ln -s "$build/$bundle" "$tmp/lv2/$bundle"
cp "$here/float.preset" "$XDG_CONFIG_HOME/ardour7/export/"

passed=0 failed=0
check() {
  local name=$1; shift
  : >"$notes"
  if "$@" >"$tmp/last.log" 2>&1; then
    echo "ok   $name"; passed=$((passed + 1))
  else
    echo "FAIL $name"; sed 's/^/     /' "$tmp/last.log" | grep -v -e '^ *$' -e 'encoder is not available' | tail -8
    failed=$((failed + 1))
  fi
  sed 's/^/     /' "$notes"
}

# Own process group, so cleanup can end Ardour and anything it started. It
# runs in a folder of its own with core files allowed, so that a crash leaves
# its core there where the system writes cores to the crashing program's
# folder (core_pattern "core").
run_once() {
  rm -f "$cores"/core*
  (cd "$cores" && ulimit -c unlimited && exec setsid timeout 120 "$@") &
  child=$!
  wait "$child"; local rc=$?
  child=
  return "$rc"
}

# Ardour 7.3's headless programs crash now and then in Ardour's own code,
# more often on a busy machine (docs/tested-hosts.md has the figures). A step
# that ends in a crash runs again under gdb, at most attempts times in all,
# and each crash is shown with its signal and where it happened: from gdb, or
# for the first attempt from its core file. A crash with a plugin of ours on
# its stack (a library of the build tree, or from a plugin folder of the
# test's) fails the step at once: a plugin that crashes the host fails every
# run, even when it crashes only now and then.
attempts=4
crash_signals=" 4 6 7 8 11 "
notes=$tmp/notes
cores=$tmp/cores
mkdir -p "$cores"
retries=0

crashed() { [ "$1" -gt 128 ] && [[ $crash_signals == *" $(($1 - 128)) "* ]]; }

# The frames of the last crash gdb saw, as crash_report.py prints them.
frames_in_plugin() { grep -E "^frame [0-9]+ ($tmp/|$build/)" "$tmp/gdb.log"; }
# Where it crashed: the first frame outside the C and C++ runtimes (abort and
# malloc's checks sit on top), or the first of all.
crash_site() {
  { grep -E '^frame [0-9]+ ' "$tmp/gdb.log" | grep -vE ' /\S*/lib(c|stdc\+\+)\.so'
    grep -E '^frame [0-9]+ ' "$tmp/gdb.log"; } | head -1 | cut -d' ' -f3-
}

# The crashing thread's frames from the core file the last attempt left, in
# gdb.log; the program is the first file mapped into it.
read_core() {
  local core program
  core=$(ls "$cores"/core* 2>/dev/null | head -1)
  [ -n "$core" ] || return 0
  program=$(gdb -q -batch -c "$core" -ex 'info proc mappings' 2>/dev/null | awk '$5 ~ /^\// {print $5; exit}')
  gdb -q -batch -x "$here/crash_report.py" "$program" "$core" >"$tmp/gdb.log" 2>&1
  rm -f "$cores"/core*
}

# under_gdb PROGRAM ARG...: the program's output and gdb's, kept in gdb.log too.
# gdb cannot start a script (ardour7-lua is one): a shell runs it.
under_gdb() {
  local program rc=0
  program=$(command -v "$1") || return 127
  shift
  if [ "$(head -c 2 "$program")" = "#!" ]; then
    set -- /bin/sh "$program" "$@"
  else
    set -- "$program" "$@"
  fi
  run_once gdb -q -batch -ex 'set print thread-events off' -ex 'handle all nostop noprint pass' \
    -ex 'handle SIGSEGV SIGABRT SIGBUS SIGFPE SIGILL stop print nopass' \
    -ex run -x "$here/crash_report.py" --args "$@" >"$tmp/gdb.log" 2>&1 || rc=$?
  cat "$tmp/gdb.log"
  return "$rc"
}

run() {
  local attempt=1 rc=0 crash where step=${1##*/}
  [ "$step" != ardour7-lua ] || step=${2##*/}
  : >"$tmp/gdb.log"
  run_once "$@" || rc=$?
  read_core
  while crashed "$rc"; do
    crash="$step, attempt $attempt of $attempts, ended by signal $((rc - 128)) (SIG$(kill -l "$rc"))"
    if frames_in_plugin >/dev/null; then
      echo "the plugin crashed Ardour: $crash at $(frames_in_plugin | head -1)" >>"$notes"
      return "$rc"
    fi
    where=$(crash_site)
    if [ -n "$where" ]; then
      echo "crash in Ardour's own code: $crash at $where" >>"$notes"
    else
      echo "crash: $crash, where unknown (no core file)" >>"$notes"
    fi
    [ "$attempt" -lt "$attempts" ] || return "$rc"
    retries=$((retries + 1)) attempt=$((attempt + 1)) rc=0
    under_gdb "$@" || rc=$?
  done
  return "$rc"
}

lua() { run ardour7-lua "$@"; }

scan() {
  LD_LIBRARY_PATH=/usr/lib/ardour7 run "$scanner" -f "$tmp/vst/$library" || return 1
  local cache
  cache=$(grep -l "binary=\"$tmp/vst/$library\"" "$XDG_CACHE_HOME"/ardour7/vst/*.v2i) || return 1
  cat "$cache"
  grep -q "name=\"$effect\" creator=\"Kestrivane\"" "$cache" &&
    grep -q 'n_inputs="6" n_outputs="6"' "$cache"
}

# The LV2 listing needs no scan: Ardour reads the bundle's description at start-up.
listing() {
  lua "$here/list_plugins.lua" LV2 >"$tmp/listing" || return 1
  cat "$tmp/listing"
  grep -qxF "$lv2_name | $lv2_uri | Kestrivane | audio 6 in 6 out | midi 0 in 0 out" "$tmp/listing"
}

# Levels 1 and 3 at 0 dB, level 2 at -6 dB, pair 3 muted, master -3 dB; the defaults.
expect=(0 -6 0 -3 001)
defaults=(0 0 0 0 000)
# A VST parameter is set normalised: the plugin maps -167..0 dB and -9..9 dB linearly onto 0..1.
vst_settings=("level stereo 2=0.9640719" "mute stereo 3=1" "master level=0.3333333")
# An LV2 control port takes the control's own units.
lv2_settings=("level stereo 2=-6" "mute stereo 3=1" "master level=-3")

# Made by the first session that needs it, so that each edition's checks can run alone.
tone() {
  [ -f "$tmp/tone.wav" ] || run "$build/trimhost/trimhost" tone "$tmp/tone.wav" --channels 6 --seconds 2
}

# make_session DIR TYPE PLUGIN_NAME SETTING...
make_session() {
  local dir=$1
  shift
  tone && run ardour7-new_session -m 6 "$dir" mix &&
    lua "$here/build_session.lua" "$dir" mix "$@" &&
    $tool add-audio "$dir/mix.ardour" mix "$tmp/tone.wav"
}

# export_and_compare DIR SNAPSHOT NAME [DB1 DB2 DB3 MASTER_DB MUTES]: against expect by default.
export_and_compare() {
  local mix=("${@:4}")
  [ "${#mix[@]}" -gt 0 ] || mix=("${expect[@]}")
  lua "$here/export_session.lua" "$1" "$2" "$tmp/out" "$3" &&
    $tool compare "$tmp/tone.wav" "$tmp/out/$3.wav" "${mix[@]}"
}

# reopen_and_compare DIR NAME: the session opened and saved again, as snapshot "reopened".
reopen_and_compare() {
  lua "$here/save_session.lua" "$1" mix reopened && export_and_compare "$1" reopened "$2"
}

# state_session DIR NAME [MIX...]: the reopened session with the plugin's parameter values
# dropped, against MIX as export_and_compare takes it.
state_session() {
  cp "$1/reopened.ardour" "$1/state.ardour" && $tool state-only "$1/state.ardour" &&
    export_and_compare "$1" state "${@:2}"
}

# preset_session DIR LABEL MIX...: a session whose LV2 plugin loaded the factory preset
# of that label, against MIX as export_and_compare takes it.
preset_session() {
  make_session "$1" LV2 "$lv2_name" "preset=$2" && export_and_compare "$1" mix lv2-preset "${@:3}"
}

# A plugin that writes through a null pointer in its processing, in a session
# as ours is: building or exporting it must fail, with the crash found in the
# plugin (the session's engine runs the plugin while it is built). Were it
# taken for one of Ardour's own and run again until it passed, a crash of ours
# would pass too. It gets a plugin folder and scan cache of its own, as Ardour
# keeps one plugin per unique ID and it shares ours (0); Ardour names it after
# its file, as it gives no name.
crash_found_in_plugin() (
  local crashing=libbroken_plugin_crashing
  export LXVST_PATH=$tmp/crashing XDG_CACHE_HOME=$tmp/crashing/cache
  mkdir -p "$LXVST_PATH" && ln -s "$build/tests/trimhost/$crashing.so" "$LXVST_PATH/" &&
    LD_LIBRARY_PATH=/usr/lib/ardour7 run "$scanner" -f "$LXVST_PATH/$crashing.so" || return 1
  ! { make_session "$tmp/crash-session" LXVST "$crashing" &&
    lua "$here/export_session.lua" "$tmp/crash-session" mix "$tmp/out" crashing; } &&
    grep -q '^the plugin crashed Ardour' "$notes"
)

vst=$tmp/vst-session lv2=$tmp/lv2-session
check "scanner reports name, vendor, 6 inputs, 6 outputs" scan
check "session with the plugin on a 6-channel track" make_session "$vst" LXVST "$effect" "${vst_settings[@]}"
check "export matches the mix (level 2 -6 dB, pair 3 muted, master -3 dB)" export_and_compare "$vst" mix vst-first
check "reopened session sounds the same" reopen_and_compare "$vst" vst-second
check "session restored from the plugin chunk alone sounds the same" state_session "$vst" vst-chunk
check "LV2: Ardour lists name, URI, maker, 6 audio inputs, 6 audio outputs" listing
check "LV2: session with the plugin on a 6-channel track, ports set in dB" make_session "$lv2" LV2 "$lv2_name" "${lv2_settings[@]}"
check "LV2: export matches the mix (level 2 -6 dB, pair 3 muted, master -3 dB)" export_and_compare "$lv2" mix lv2-first
check "LV2: reopened session sounds the same" reopen_and_compare "$lv2" lv2-second
check "LV2: session with the state but no port values plays its controls: the defaults" \
  state_session "$lv2" lv2-state "${defaults[@]}"
check "LV2: the factory preset \"Pair 1 only\" mutes pairs 2 and 3" \
  preset_session "$tmp/preset-session" "Pair 1 only" 0 0 0 0 011

check "a plugin that crashes in its processing fails, its crash found in it" crash_found_in_plugin

echo "ardour: $retries steps run again after a crash not in the plugin"
echo "ardour: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
