#!/usr/bin/env bash
# The GNU parallel recipe of docs/trimhost.md, run as a user runs it: two
# jobs on a few generated files, one of which is no audio file. The results
# must hold a line per file and the list of failures exactly that one.
#   parallel_recipe_test.sh TRIMHOST PLUGIN RECIPE
set -euo pipefail
trimhost=$1 plugin=$2 recipe=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for take in 1 2 3; do "$trimhost" tone "$work/take$take.wav" --channels 6 --seconds 0.2 >/dev/null; done
echo "not audio" >"$work/broken.wav"

status=0
JOBS=2 TRIMHOST=$trimhost TRIMHOST_OPTIONS="--set 6=-3" \
  "$recipe" "$plugin" "$work/out" "$work"/take*.wav "$work/broken.wav" 2>"$work/err" || status=$?

fail() { echo "parallel recipe: $*" >&2; cat "$work/err" >&2; exit 1; }
[ "$status" -eq 1 ] || fail "exit status $status, expected 1"
[ "$(wc -l <"$work/out/results.jsonl")" -eq 4 ] || fail "not one result per file"
[ "$(cat "$work/out/failed.txt")" = "$work/broken.wav" ] || fail "failures: $(cat "$work/out/failed.txt")"
for take in 1 2 3; do [ -s "$work/out/take$take.wav" ] || fail "no output for take$take"; done
grep -q '"status":"ok"' "$work/out/results.jsonl" || fail "no successful result"
echo "parallel recipe: 3 of 4 rendered, the broken file listed for a re-run"
