#!/usr/bin/env bash
# Runs the Linux plugin in Ardour 7 headless: Ardour's VST scanner, then a session that mixes a
# six-channel file through it, exported, reopened and restored from the plugin's chunk alone.
# Usage: tests/hosts/ardour/run.sh BUILD_DIR
set -uo pipefail

build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
library=kestrivane-trimixer-linux-x86_64.so
effect="Kestrivane_trimixer 3 stereo pa"
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
export LXVST_PATH=$tmp/vst VST_PATH=$tmp/vst
mkdir -p "$tmp/vst" "$XDG_CONFIG_HOME/ardour7/export"
ln -s "$build/src/$library" "$tmp/vst/$library"
cp "$here/float.preset" "$XDG_CONFIG_HOME/ardour7/export/"

passed=0 failed=0
check() {
  local name=$1; shift
  if "$@" >"$tmp/last.log" 2>&1; then
    echo "ok   $name"; passed=$((passed + 1))
  else
    echo "FAIL $name"; sed 's/^/     /' "$tmp/last.log" | grep -v -e '^ *$' -e 'encoder is not available' | tail -8
    failed=$((failed + 1))
  fi
}

# Own process group, so cleanup can end Ardour and anything it started.
run_once() {
  setsid timeout 120 "$@" &
  child=$!
  wait "$child"; local rc=$?
  child=
  return "$rc"
}

# Ardour 7.3's headless programs crash now and then on their own (about one
# run in eight here, with no plugin in the session as well): a step that
# ends by a signal runs once more, and says so. A plugin that crashes the
# host crashes it both times.
run() {
  local rc=0
  run_once "$@" || rc=$?
  [ "$rc" -gt 128 ] && [ "$rc" -ne 130 ] || return "$rc"
  echo "     (ended by signal $((rc - 128)); run again)" >&2
  run_once "$@"
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

# Levels 1 and 3 at 0 dB, level 2 at -6 dB, pair 3 muted, master -3 dB: the plugin maps
# -167..0 dB and -9..9 dB linearly onto 0..1, so these are the normalised values Ardour sends.
expect=(0 -6 0 -3 001)
settings=("level stereo 2=0.9640719" "mute stereo 3=1" "master level=0.3333333")

sess=$tmp/session
make_session() {
  run "$build/tools/trimhost/trimhost" tone "$tmp/tone.wav" --channels 6 --seconds 2 &&
    run ardour7-new_session -m 6 "$sess" mix &&
    lua "$here/build_session.lua" "$sess" mix "$effect" "${settings[@]}" &&
    $tool add-audio "$sess/mix.ardour" mix "$tmp/tone.wav"
}

# export_and_compare SNAPSHOT NAME [SAVE_AS]
export_and_compare() {
  lua "$here/export_session.lua" "$sess" "$1" "$tmp/out" "$2" ${3:+"$3"} &&
    $tool compare "$tmp/tone.wav" "$tmp/out/$2.wav" "${expect[@]}"
}

chunk_session() {
  cp "$sess/reopened.ardour" "$sess/chunk.ardour" && $tool chunk-only "$sess/chunk.ardour" &&
    export_and_compare chunk chunk
}

check "scanner reports name, vendor, 6 inputs, 6 outputs" scan
check "session with the plugin on a 6-channel track" make_session
check "export matches the mix (level 2 -6 dB, pair 3 muted, master -3 dB)" export_and_compare mix first reopened
check "reopened session sounds the same" export_and_compare reopened second
check "session restored from the plugin chunk alone sounds the same" chunk_session

echo "ardour: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
