# shellcheck shell=bash
# Sourced by a host test: a work folder, $tmp, with the test's own HOME and
# XDG folders in it, all removed when the test ends; and guarded, which runs a
# program in a process group of its own that is ended with the test, also on
# a failure or an interrupt.
#
#   source tests/real_hosts/private_run.sh HOST   # $tmp is /tmp/trimixer-HOST.XXXXXX

tmp=$(mktemp -d "/tmp/trimixer-$1.XXXXXX") || exit 1
# Each running group's id is a file's name in $tmp/groups, since guarded may
# run in a subshell (check's command substitution) whose variables and traps
# the test's own end does not see. Ctrl-C (a signal to the whole foreground
# group) ends the test at once; a signal to the test's shell alone, once the
# check that runs returns.
cleanup() {
  local group
  for group in "$tmp"/groups/*; do
    [ -e "$group" ] && kill -- "-${group##*/}" 2>/dev/null
  done
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The hosts read and write their settings and caches here only.
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_CACHE_HOME=$tmp/home/.cache \
  XDG_DATA_HOME=$tmp/home/.local/share
mkdir -p "$HOME" "$tmp/groups"

# guarded LOG COMMAND...: runs the command, its output in LOG, and returns its
# status; the time limit only guards against a hang.
guarded() {
  local log=$1 group status
  shift
  (exec setsid timeout 60 "$@" >"$log" 2>&1) &
  group=$!
  : >"$tmp/groups/$group"
  wait "$group"
  status=$?
  rm -f "$tmp/groups/$group"
  return "$status"
}
