#!/usr/bin/env bash
# Screenshot of LMMS 1.2 (i386, wine-hosted VST server) with the 32-bit plugin
# on a sample track: effect rack, effect controls and parameter window.
# Usage: lmms.sh DLL OUT.png
set -euo pipefail

if [ $# -ne 2 ] || [ ! -f "$1" ]; then
  echo "usage: $0 DLL OUT.png" >&2
  exit 2
fi
dll=$(realpath "$1")
out=$(realpath -m "$2")
check=$(cd "$(dirname "$0")/../../tests/real_hosts/lmms" && pwd)/lmms_check.py
work=$(mktemp -d /tmp/lmms-shot.XXXXXX)

cleanup() {
  [ -n "${lmms_pid:-}" ] && kill "$lmms_pid" 2>/dev/null
  if [ -n "${prefix:-}" ]; then
    timeout 10 wineserver -k 2>/dev/null
    # The VST server and wine's helpers are reparented away from us; what
    # they share is our WINEPREFIX.
    local env pid
    for env in /proc/[0-9]*/environ; do
      pid=${env#/proc/}; pid=${pid%/environ}
      [ "$pid" = $$ ] && continue
      tr '\0' '\n' 2>/dev/null <"$env" | grep -qxF "WINEPREFIX=$prefix" && kill -9 "$pid" 2>/dev/null
    done
    sleep 1  # dying wine processes still write into the prefix
  fi
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
display=$(head -1 "$work/display")
[ -n "$display" ] || { echo "$0: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$display
prefix=$work/wineprefix
export HOME=$work/home WINEPREFIX=$prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" XDG_RUNTIME_DIR=$work/home
mkdir -p "$HOME/lmms"

python3 "$check" config "$work/lmmsrc.xml" "$HOME/lmms" "$work/vst"
timeout 120 wineboot --init >/dev/null 2>&1
python3 "$check" tone "$work/tone.wav"
# The effect rack labels a plugin by its path as the project gives it; one
# from LMMS's VST directory is just the file name, as when a user adds it.
mkdir "$work/vst"
cp "$dll" "$work/vst/"
python3 "$check" project "$work/trimixer.mmp" "$work/tone.wav" "$(basename "$dll")" params 0.964072,1,1,0,0,0,0.666667,0

lmms --allowroot -c "$work/lmmsrc.xml" "$work/trimixer.mmp" >"$work/lmms.log" 2>&1 &
lmms_pid=$!
# LMMS logs the channel counts once its VST server has loaded the plugin.
for _ in $(seq 120); do grep -q 'inputs: 6' "$work/lmms.log" && break; sleep 0.5; done
if ! grep -q 'inputs: 6' "$work/lmms.log"; then
  echo "$0: LMMS did not load the plugin:" >&2
  cat "$work/lmms.log" >&2
  exit 1
fi
win=$(timeout 60 xdotool search --sync --name ' - LMMS ' | head -1)
sleep 2

# Subwindows open at fixed places in a 1280x800 main window; the positions
# below were read off screenshots of LMMS 1.2.2.
drag() {
  xdotool mousemove "$1" "$2" mousedown 1; sleep 0.3
  xdotool mousemove $((($1 + $3) / 2)) $((($2 + $4) / 2)); sleep 0.3
  xdotool mousemove "$3" "$4"; sleep 0.3
  xdotool mouseup 1; sleep 0.5
}
xdotool windowsize "$win" 1280 800; sleep 1
xdotool mousemove 180 190 click 1; sleep 2   # track label: effect rack
xdotool mousemove 783 155 click 1; sleep 2   # "Controls"
xdotool mousemove 697 126 click 1; sleep 2   # wrench: parameter window
xdotool mousemove 1047 407 click 1; sleep 1  # close controller rack
xdotool mousemove 557 407 click 1; sleep 1   # close FX mixer
drag 720 97 728 376                          # controls below the rack
drag 1000 97 187 465                         # parameters below the song editor
xdotool mousemove 1270 790; sleep 1
/usr/bin/import -window root -crop 1004x758+0+0 +repage "$work/shot.png"
/usr/bin/convert "$work/shot.png" -strip "$out"
echo "wrote $out"
