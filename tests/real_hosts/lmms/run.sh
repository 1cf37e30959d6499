#!/usr/bin/env bash
# Renders a sample track through the 32-bit plugin in LMMS (wine-hosted VST
# server) and compares it sample by sample with the same track rendered dry.
# Usage: run.sh DLL WORK_DIR   (RENDER_TIMEOUT=seconds, default 120)
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 DLL WORK_DIR" >&2
  exit 2
fi
if [ ! -f "$1" ]; then
  echo "$0: no such plugin: $1" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
dll=$(realpath "$1")
work=$(mkdir -p "$2" && realpath "$2")
limit=${RENDER_TIMEOUT:-120}
check="python3 $here/lmms_check.py"
passed=0
failed=0

rm -rf "$work/wineprefix" "$work/home" "$work/display" "$work"/*.mmp "$work"/*.wav "$work"/*.log "$work"/*.trace
mkdir -p "$work/home/lmms"
export HOME=$work/home WINEPREFIX=$work/wineprefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" XDG_RUNTIME_DIR=$work/home

# Everything this script starts inherits this WINEPREFIX, so it also finds
# what outlived its parent: the VST server, wineserver, a hung lmms.
ours() {
  local env pid
  for env in /proc/[0-9]*/environ; do
    pid=${env#/proc/}; pid=${pid%/environ}
    [ "$pid" = $$ ] || [ "$pid" = "$BASHPID" ] && continue
    tr '\0' '\n' 2>/dev/null < "$env" | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
}

cleanup() {
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  timeout 10 wineserver -k 2>/dev/null
  local pids
  pids=$(ours)
  [ -n "$pids" ] && kill -9 $pids 2>/dev/null
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

report() {
  if [ "$1" -eq 0 ]; then
    echo "PASS $2"; passed=$((passed + 1))
  else
    echo "FAIL $2${3:+: $3}"; failed=$((failed + 1))
  fi
}

# The VST server opens its editor window even when rendering; without a
# display it spins forever. Xvfb writes its display number, a line, once it
# is ready; the file is new, so that no earlier run's number is taken for it.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do grep -qx '[0-9]\+' "$work/display" 2>/dev/null && break; sleep 0.1; done
if ! grep -qx '[0-9]\+' "$work/display" 2>/dev/null; then
  echo "FAIL Xvfb did not start"; echo "lmms: 0 passed, 1 failed"; exit 1
fi
export DISPLAY=:$(head -1 "$work/display")

$check config "$work/lmmsrc.xml" "$work/home/lmms"

timeout "$limit" wineboot --init >"$work/wineboot.log" 2>&1
report $? "wine prefix created"
$check tone "$work/tone.wav"

# What was left running when a render hung, and whether the display still
# answered: the processes this script started, with their state and the
# kernel function they wait in.
hang_report() {
  local pids
  pids=$(ours | paste -sd,)
  [ -z "$pids" ] || ps -o pid=,stat=,wchan:22=,etime=,args= -p "$pids" | cut -c1-150 | sed 's/^/     /'
  kill -0 "$xvfb_pid" 2>/dev/null && xdpyinfo >/dev/null 2>&1 ||
    echo "     the display :${DISPLAY#:} no longer answers"
}

# render NAME [DLL [chunk|params VALUES]]: leaves NAME.wav and NAME.log; with
# TRACE set also NAME.trace, what LMMS's processes wrote to each other. The
# plugin's effect name reaches LMMS only that way: its rack shows it in a
# window of its own, and it is in no log or saved project.
render() {
  local name=$1; shift
  $check project "$work/$name.mmp" "$work/tone.wav" "$@" || return 2
  local tracer=()
  [ -n "${TRACE:-}" ] && tracer=(strace -f -qq -e trace=write -s 64 -o "$work/$name.trace")
  timeout -k 5 "$limit" "${tracer[@]}" lmms --allowroot -c "$work/lmmsrc.xml" render "$work/$name.mmp" \
    -o "$work/$name.wav" -f wav -a -s 44100 -i linear >"$work/$name.log" 2>&1
  local rc=$?
  if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
    local report
    report=$(hang_report)
    [ -z "$report" ] || printf '%s\n' "$report" | tee -a "$work/$name.log"
    echo "render $name hung: killed after ${limit}s" >>"$work/$name.log"
    # A hung render can leave its VST server behind; the next render must
    # not share it.
    pids=$(ours | grep -vx "$xvfb_pid")
    [ -n "$pids" ] && kill -9 $pids 2>/dev/null
  fi
  [ -s "$work/$name.wav" ] || rc=${rc/#0/1}
  return $rc
}

# case NAME EXPECTATION... -- RENDER ARGS
case_check() {
  local name=$1 how=$2 arg=$3; shift 3
  local out rc
  if ! render "$name" "$@"; then
    report 1 "$name" "render failed or timed out ($(tail -1 "$work/$name.log"))"
    return
  fi
  case $how in
    same) out=$($check same "$work/$name.wav" "$work/dry.wav" 1e-6) ;;
    scaled) out=$($check scaled "$work/$name.wav" "$work/dry.wav" "$arg" 1e-5) ;;
    silent) out=$($check silent "$work/$name.wav" 1e-6) ;;
  esac
  rc=$?
  # LMMS passes the track through dry when it cannot load a plugin, which
  # would look like a pass-through plugin.
  if [ $rc -eq 0 ] && ! grep -q 'inputs: 6 *output: 6' "$work/$name.log"; then
    rc=1 out="LMMS did not report the plugin's 6 inputs and 6 outputs"
  fi
  report $rc "$name" "$out"
}

if render dry; then
  out=$($check loud "$work/dry.wav" 0.4); report $? "dry render has the tone" "$out"
else
  report 1 "dry render" "$(tail -1 "$work/dry.log")"
fi

TRACE=1 case_check defaults same 0 "$dll"
# The name as the interface cuts it, to 31 characters.
effect="Kestrivane_trimixer 3 stereo pa"
grep -qF "\"$effect\", ${#effect}" "$work/defaults.trace"
report $? "LMMS receives the effect name \"$effect\""
case_check chunk_pair1_muted silent 0 "$dll" chunk "-6,0,0,1,0,0,0,0"
case_check chunk_pair1_minus6 scaled -6 "$dll" chunk "-6,0,0,0,0,0,0,0"
# Normalised: level (dB+167)/167 for -6 dB, master (dB+9)/18 for +3 dB.
case_check params_minus6_master_plus3 scaled -3 "$dll" params "0.964072,1,1,0,0,0,0.666667,0"

echo "lmms: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
