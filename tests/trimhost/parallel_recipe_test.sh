#!/usr/bin/env bash
# The GNU parallel recipe of docs/trimhost.md, run as a user runs it: two
# jobs on a few generated files, one of which is no audio file and has a name
# that is not UTF-8. The results must hold a line per file and the list of
# failures exactly that one, its name's bytes recovered from both. Then
# the runs that must not render at all, and a job that dies without a result.
#   parallel_recipe_test.sh TRIMHOST PLUGIN RECIPE
set -euo pipefail
trimhost=$1 plugin=$2 recipe=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for take in 1 2 3; do "$trimhost" tone "$work/take$take.wav" --channels 6 --seconds 0.2 >/dev/null; done
broken=$work/$'broken\xff.wav'
echo "not audio" >"$broken"

status=0
JOBS=2 TRIMHOST=$trimhost TRIMHOST_OPTIONS="--set 6=-3" \
  "$recipe" "$plugin" "$work/out" "$work"/take*.wav "$broken" 2>"$work/err" || status=$?

fail() { echo "parallel recipe: $*" >&2; cat "$work/err" >&2; exit 1; }
[ "$status" -eq 1 ] || fail "exit status $status, expected 1"
[ "$(wc -l <"$work/out/results.jsonl")" -eq 4 ] || fail "not one result per file"
[ "$(cat "$work/out/failed.txt")" = "$broken" ] || fail "failures: $(cat "$work/out/failed.txt")"
python3 -c 'import json, os, sys
sys.exit(os.fsencode(sys.argv[2]) not in
         [os.fsencode(json.loads(line)["input"]) for line in open(sys.argv[1], "rb")])' \
  "$work/out/results.jsonl" "$broken" || fail "the broken file's name is not in the results"
for take in 1 2 3; do [ -s "$work/out/take$take.wav" ] || fail "no output for take$take"; done
grep -q '"status":"ok"' "$work/out/results.jsonl" || fail "no successful result"
echo "parallel recipe: 3 of 4 rendered, the broken file listed for a re-run"

# recipe STATUS OUT_DIR [VAR=VALUE...] -- FILE...: the recipe must end with STATUS.
recipe() {
  local expected=$1 dir=$2 status=0
  shift 2
  local settings=()
  while [ "$1" != -- ]; do settings+=("$1"); shift; done
  shift
  env JOBS=2 TRIMHOST="$trimhost" "${settings[@]}" "$recipe" "$plugin" "$dir" "$@" 2>"$work/err" ||
    status=$?
  [ "$status" -eq "$expected" ] || fail "$dir: exit status $status, expected $expected"
}
mkdir -p "$work/a" "$work/b"
cp "$work/take1.wav" "$work/a/take.wav"
cp "$work/take2.wav" "$work/b/take.wav"
recipe 2 "$work/same" -- "$work/a/take.wav" "$work/b/take.wav"
grep -q "would both be written to $work/same/take.wav" "$work/err" || fail "collision not named"
plugin=no-such-plugin recipe 3 "$work/nowhere" -- "$work/a/take.wav"
recipe 2 "$work/out" -- "$work"/take*.wav
grep -q "will not replace $work/out/take1.wav" "$work/err" || fail "existing output not named"
[ ! -e "$work/same" ] && [ ! -e "$work/nowhere" ] || fail "a refused run made its folder"
recipe 1 "$work/out" TRIMHOST_OPTIONS=--skip-existing -- "$work"/take*.wav "$broken"
grep -q "0 of 4 files rendered into $work/out, 3 skipped" "$work/err" || fail "skips: $(cat "$work/err")"

# A job that ends without its result line failed, though parallel saw it end.
printf '#!/bin/sh\ncase "$*" in *take2.wav*--json*) exit 0 ;; esac\nexec "%s" "$@"\n' "$trimhost" >"$work/silent"
chmod +x "$work/silent"
trimhost=$work/silent recipe 1 "$work/quiet" -- "$work"/take*.wav
[ "$(cat "$work/quiet/failed.txt")" = "$work/take2.wav" ] || fail "silent job: $(cat "$work/quiet/failed.txt")"
echo "parallel recipe: collisions, existing outputs and unknown plugins refused; skips and silent jobs counted"
