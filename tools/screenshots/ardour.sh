#!/usr/bin/env bash
# Screenshot of Ardour 7 with the Linux plugin on a 6-channel track: the
# mixer strip and Ardour's generic editor for the plugin.
# Usage: ardour.sh BUILD_DIR OUT.png
set -euo pipefail

if [ $# -ne 2 ] || [ ! -d "$1" ]; then
  echo "usage: $0 BUILD_DIR OUT.png" >&2
  exit 2
fi
# shellcheck source=cmake/artefacts.env.in
source "$1/artefacts.env"
library=$plugin_library
plugin=$(realpath "$1/src/$library")
out=$(realpath -m "$2")
tests=$(cd "$(dirname "$0")/../../tests/real_hosts/ardour" && pwd)
effect="Kestrivane_trimixer 3 stereo pa"
work=$(mktemp -d /tmp/ardour-shot.XXXXXX)

cleanup() {
  [ $? -eq 0 ] || tail -n 20 "$work"/*.log >&2
  # Nothing of Ardour's state is kept, so it need not shut down in order.
  [ -n "${ardour_pid:-}" ] && kill -KILL -- "-$ardour_pid" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_DATA_HOME=$work/home/.local/share LXVST_PATH=$work/vst VST_PATH=$work/vst
config=$XDG_CONFIG_HOME/ardour7
mkdir -p "$work/vst" "$config"
ln -s "$plugin" "$work/vst/$library"

# .a7 skips the first-run wizard. The dummy backend is hidden from the GUI
# unless asked for, and this engine state lets Ardour start it unprompted.
touch "$config/.a7"
cat >"$config/config" <<'CONF'
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="try-autostart-engine" value="1"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device="" output-device="" sample-rate="48000" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0" lm-input="" lm-output="" active="1" use-buffered-io="0" midi-option="1 in, 1 out, Silence" lru="1">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
CONF

# Ardour 7.3's headless programs crash now and then on their own; the
# session is only written at their end, so a second try starts clean.
run() { timeout 120 "$@" >>"$work/headless.log" 2>&1; }
twice() { "$@" || "$@"; }
new_session() { rm -rf "$work/session" && run ardour7-new_session -m 6 "$work/session" mix; }
twice run env LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f "$work/vst/$library"
twice new_session
# Level 2 at -6 dB, pair 3 muted, master at -3 dB, so the editor shows values other than defaults.
twice run ardour7-lua "$tests/build_session.lua" "$work/session" mix LXVST "$effect" \
  "level stereo 2=0.9640719" "mute stereo 3=1" "master level=0.3333333"

# Ardour reopens the mixer tab and the plugin windows a session saved as
# open; mark the plugin's generic editor open, at a place beside the strip.
session=$work/session/mix.ardour
route=$(sed -n 's/.*<Route [^>]*id="\([0-9]*\)" name="mix".*/\1/p' "$session")
proc=$(sed -n "s/.*<Processor id=\"\([0-9]*\)\" name=\"$effect\".*/\1/p" "$session")
window="<Window name=\"P-$route-$proc\" visible=\"1\" x-off=\"570\" y-off=\"100\" x-size=\"-1\" y-size=\"-1\" custom-ui=\"0\"/>"
sed -i "s|</Session>|<Extra><UI>$window</UI></Extra></Session>|" "$session"
echo '<instant><Main current-tab="mixer"/></instant>' >"$work/session/instant.xml"

Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=:$(head -1 "$work/display")
export DISPLAY

# Its own process group, so cleanup ends Ardour's helpers with it.
setsid ardour -n -a "$session" >"$work/ardour.log" 2>&1 &
ardour_pid=$!
timeout 90 xdotool search --sync --onlyvisible --name "^mix: $effect" >/dev/null
sleep 2  # the editor maps before its contents are drawn
# Hovering over the plugin in the strip shows its full name, which the strip truncates.
xdotool mousemove 345 215
sleep 2
/usr/bin/import -window root -crop 740x335+275+95 +repage "$work/shot.png"
/usr/bin/convert "$work/shot.png" -strip -colors 256 "$out"
echo "wrote $out"
