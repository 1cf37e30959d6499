#!/usr/bin/env bash
# Runs tools/run-host-tests.sh again and again, to show that the real-host
# checks do not fail by chance: every second run with one core kept busy by a
# spinning process, as on a shared machine. A line per run (load, outcome,
# the steps run again after a crash not in the plugin, seconds), the logs of
# failed runs kept in LOG_DIR, and "repeat: N passed, M failed" counting runs.
#
#   tests/real_hosts/repeat.sh RUNS [LOG_DIR [HOST...]]   # LOG_DIR default /tmp/host-test-runs
set -uo pipefail
cd "$(dirname "$0")/../.."
runs=${1:?usage: repeat.sh RUNS [LOG_DIR [HOST...]]}
logs=${2:-/tmp/host-test-runs}
shift $(($# < 2 ? $# : 2))
mkdir -p "$logs"

hog=
stop_hog() { [ -z "$hog" ] || kill "$hog" 2>/dev/null; hog=; }
trap stop_hog EXIT

passed=0 failed=0
for run in $(seq "$runs"); do
  load=idle
  if [ $((run % 2)) -eq 0 ]; then
    load=busy
    (while :; do :; done) &
    hog=$!
  fi
  start=$SECONDS
  log=$logs/run-$run.log
  status=0
  tools/run-host-tests.sh "$@" >"$log" 2>&1 || status=$?
  stop_hog
  # The crashes before the check with the deliberately crashing plugin, whose
  # own are expected.
  crashes=$(awk '/a plugin that crashes in its processing/ {exit} /^ +crash/' "$log")
  if [ "$status" -eq 0 ]; then
    outcome=passed passed=$((passed + 1))
  else
    outcome="FAILED (log kept: $log)" failed=$((failed + 1))
  fi
  echo "run $run $load: $outcome, $(grep -c . <<<"$crashes") steps run again after a crash, $((SECONDS - start)) s"
  [ -z "$crashes" ] || sed 's/^ */    /' <<<"$crashes"
  [ "$status" -ne 0 ] || rm -f "$log"
done
echo "repeat: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
