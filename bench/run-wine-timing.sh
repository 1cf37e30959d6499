#!/usr/bin/env bash
# Builds the 32-bit DLL and the timing program (win32 preset) and runs the
# program under wine, in the build's own prefix (made on first use). Times
# under wine are indicative; the ratios to the reference loops are the figure.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset win32 >/dev/null
cmake --build --preset win32 --target wine_timing >/dev/null

export WINEPREFIX="$PWD/build/win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
# No display: wine shows no windows, not even while it makes the prefix.
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot --init
fi
exec wine build/win32/bench/wine_timing.exe "$@"
