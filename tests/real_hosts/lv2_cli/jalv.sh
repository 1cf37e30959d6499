#!/usr/bin/env bash
# Plays a six-channel file through the LV2 edition in jalv, on a JACK server
# of the test's own (dummy driver, freewheel mode), and compares every sample
# of the six outputs with the expected mix, and what jalv's console shows of
# the controls with the values expected: settings on the command line, a
# change in the console, a state folder, presets (the test's own and the
# factory ones), and a state whose chunk disagrees with its port values.
# A line per check, then "jalv: N passed, M failed".
#
#   tests/real_hosts/lv2_cli/jalv.sh BUILD_DIR
set -uo pipefail
# shellcheck source=tests/real_hosts/lv2_cli/common.sh
source "$(dirname "$0")/common.sh" "${1:-}" jalv

# The server's name is the test's own; every JACK client started here finds
# it through this variable. JACK 2 keeps one registry of shared memory for
# all the servers of a user, though: two runs side by side, each with a
# server of its own, now and then failed to open a client ("Cannot open
# client", or jalv's "Failed to connect to audio system"). So a run holds
# this lock while it runs (its server too, which inherits it), and a second
# run waits for it; the limit guards against a hang only.
exec 9>"${TMPDIR:-/tmp}/trimixer-jalv-test.lock"
if ! flock -w 300 9; then
  echo "FAIL  another jalv test's JACK server ended"
  echo "jalv: 0 passed, 1 failed"
  exit 1
fi
export JACK_DEFAULT_SERVER=trimixer-test-$$-$RANDOM
start jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r "$rate" -p 256 >"$tmp/jackd.log" 2>&1
jackd=$!
if ! timeout 30 jack_wait -w >/dev/null 2>&1; then
  echo "FAIL  the JACK server started ($(tail -3 "$tmp/jackd.log" | tr '\n' ' '))"
  echo "jalv: 0 passed, 1 failed"
  exit 1
fi

# The test's own preset, with port values and a chunk that agree.
own_preset="-6,0,-12,0,1,0,2,1"
add_preset own.ttl "$own_preset" "$own_preset" "Test preset with ports and chunk"
# State folders as jalv and other lilv hosts save them; in the second, the
# chunk says other than the ports, and the ports are what the user sees.
state="0,0,-6,1,0,0,-2,0"
mkdir -p "$tmp/state" "$tmp/disagree"
lv2_tool state "$tmp/state/state.ttl" "$lv2_uri" "$state" "$state"
disagree="0,-6,0,0,0,1,-3,0"
lv2_tool state "$tmp/disagree/state.ttl" "$lv2_uri" "$disagree" "-12,0,0,1,0,0,3,1"

# DESCRIPTION | jalv's options | console lines, ";" between | the control
# values that must play and show, in port order (see docs/editions.md). jalv
# finds a preset named in "preset URI" only after "presets" has loaded them.
cases=(
  "settings on the command line (-c)|-c level_stereo_2=-6 -c mute_stereo_3=1 -c master_level=-3||0,-6,0,0,0,1,-3,0"
  "a change in the console after -c|-c level_stereo_2=-6|master_level = -3;set 3 1|0,-6,0,1,0,0,-3,0"
  "a state folder (-l)|-l $tmp/state||$state"
  "the test's preset with ports and chunk, chosen in the console||presets;preset file://$presets/own.ttl|$own_preset"
  "the factory preset \"Pair 1 only\"||presets;preset $lv2_uri#preset-pair-1-only|0,0,0,0,1,1,0,0"
  "the factory preset \"Stems to stereo at -6 dB\"||presets;preset $lv2_uri#preset-stems-minus-6|-6,-6,-6,0,0,0,0,1"
  "the state's ports win over a chunk that disagrees|-l $tmp/disagree||$disagree"
)

# run_case NAME OPTIONS CONSOLE: jalv with these options; the console lines,
# then "controls", whose listing shows that jalv has taken them; then the tone
# played through it into NAME.wav. Not inside a check: a check's command runs
# in a subshell, and jalv must be started from this one to be ended on exit.
run_case() {
  local name=$1 line options lines
  read -ra options <<<"$2"
  rm -f "$tmp/console"
  mkfifo "$tmp/console"
  # Open for reading and writing, so that neither this nor jalv's opening waits.
  exec 7<>"$tmp/console"
  # Line-buffered, so that its console's answers reach the log as they come.
  start stdbuf -oL jalv -x -n trimixer "${options[@]}" "$lv2_uri" <"$tmp/console" >"$tmp/$name.log" 2>&1
  local jalv=$!
  IFS=';' read -ra lines <<<"$3"
  for line in "${lines[@]}" controls; do echo "$line" >&7; done
  # jalv lists the controls once its plugin runs, after each preset it
  # applies, and for "controls", which it reads after the lines before it.
  # The count is a guard, not a measure.
  local listings
  listings=$((2 + $(grep -o 'preset ' <<<"$3" | wc -l)))
  for _ in $(seq 300); do
    [ "$(grep -c 'busses_silent_after_mixer = ' "$tmp/$name.log")" -ge "$listings" ] && break
    kill -0 "$jalv" 2>/dev/null || break
    sleep 0.1
  done
  lv2_tool play-record trimixer "$tmp/tone.wav" "$tmp/$name.wav" >"$tmp/$name.player" 2>&1
  echo $? >"$tmp/$name.status"
  exec 7>&-
  stop "$jalv"
}

# played NAME: the run went through; what the player and jalv said if not.
played() {
  [ "$(cat "$tmp/$1.status")" -eq 0 ] || { cat "$tmp/$1.player"; tail -n 2 "$tmp/$1.log"; return 1; }
}

n=0
for entry in "${cases[@]}"; do
  IFS='|' read -r what options console values <<<"$entry"
  n=$((n + 1))
  run_case "case$n" "$options" "$console"
  check "$what: jalv plays it" played "case$n" &&
    check "$what: all six outputs are the mix" outputs_are_mix "$tmp/case$n.wav" "$values"
  check "$what: jalv's controls show it" lv2_tool shows "$tmp/case$n.log" "$values"
done

# Ended here, and waited for, so that it is gone with its files before the
# work folder is removed.
stop "$jackd"
checks_summary jalv
