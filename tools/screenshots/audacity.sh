#!/usr/bin/env bash
# Screenshots of Audacity 3.2's effect dialog with the VST 2.x edition and with
# the LV2 edition of a Linux build, each with level 2 at -6 dB, pair 3 muted and
# the master at -3 dB (a saved setting), on an Xvfb display of its own.
# Usage: audacity.sh BUILD_DIR VST.png LV2.png
set -euo pipefail

if [ $# -ne 3 ] || [ ! -d "$1" ]; then
  echo "usage: $0 BUILD_DIR VST.png LV2.png" >&2
  exit 2
fi
build=$(realpath "$1")
tests=$(cd "$(dirname "$0")/../../tests/real_hosts" && pwd)
declare -A shots=([vst]=$(realpath -m "$2") [lv2]=$(realpath -m "$3"))
# shellcheck source=cmake/artefacts.env.in
source "$build/artefacts.env"
# shellcheck source=tests/real_hosts/audacity/audacity.sh
source "$tests/audacity/audacity.sh"

if [ -n "$(pipe_users)" ]; then
  echo "$0: another scripted Audacity runs; its script pipes would be shared" >&2
  exit 1
fi
audacity_setup "$build"
register
"${audacity_tool[@]}" settings "$config/pluginsettings.cfg" "$effect_name_shown" "$effect_name" "$vendor" \
  current=0,-6,0,0,0,1,-3,0
python3 "$tests/lmms/lmms_check.py" tone "$work/tone.wav"
start_audacity
main_window
open_session
ask "Import2: Filename=$work/tone.wav" "SelectAll:"

# The menus open at fixed places in the main window Audacity opens on a
# 1280x800 screen; the places below were read off a screenshot of Audacity
# 3.2.4: the Effect menu, and its last entry, the vendor's submenu (after
# "Ardour Community", the system's LV2 plugins Audacity always adds). In the
# submenu the VST 2.x edition comes first.
for edition in vst lv2; do
  name=$effect_name_shown
  keys=(Right Return)
  if [ "$edition" = lv2 ]; then
    name=$effect_name
    keys=(Right Down Return)
  fi
  xdotool mousemove 499 118 click 1
  sleep 1
  xdotool mousemove 540 472
  sleep 0.5
  for key in "${keys[@]}"; do xdotool key "$key"; sleep 0.5; done
  dialog=$(timeout 20 xdotool search --sync --name "^$name\$" | head -1)
  # Room for all eight parameters; there is no window manager to size it.
  xdotool windowsize "$dialog" 746 470
  sleep 1
  /usr/bin/import -window "$dialog" "$work/shot.png"
  /usr/bin/convert "$work/shot.png" -strip "${shots[$edition]}"
  echo "wrote ${shots[$edition]}"
  xdotool key Escape
  sleep 1
done
