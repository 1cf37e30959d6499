#!/usr/bin/env bash
# A long fuzzing run of one fuzz target (a campaign), beyond the bounded time
# the test command gives it; not a test step.
#
#   tools/fuzz-campaign.sh TARGET [EXECUTIONS [SECONDS]]  # TARGET as in fuzz/corpus/
#   nice -n 19 tools/fuzz-campaign.sh state_load           # on a shared machine
#
# Builds the fuzz preset's fuzz_TARGET if needed, then fuzzes a copy of
# fuzz/corpus/TARGET, with a copy of the executable so that later builds do not
# disturb the run, under build/fuzz-campaign/TARGET/ (the repository is never
# written): -fork=2 runs a job on each of both cores, -ignore_crashes=1 goes on
# after a finding, and the limits per input are run_fuzzer.cmake's. Fork mode
# stops once the jobs together have run EXECUTIONS inputs (1000000 unless
# given; a little past it), or after SECONDS when given, whichever comes first.
# Findings are written to the artifacts folder named at the end, the whole log
# beside it. The last line is a row for the campaign table in
# docs/testing.md, whose findings and commit cells are left to fill in:
#   | TARGET | executions | seconds | 2 | cov/ft | corpus files | crashes: N | COMMIT |
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:?usage: tools/fuzz-campaign.sh TARGET [EXECUTIONS [SECONDS]]}
executions=${2:-1000000}
time_limit=()
[[ -z ${3:-} ]] || time_limit=(-max_total_time="$3")
seeds=fuzz/corpus/$target
[[ -d $seeds ]] || { echo "no seed corpus $seeds" >&2; exit 2; }

# The same per-input limits as every test run's fuzzing.
read -ra limits < <(sed -n 's/^set(limits \(.*\))$/\1/p' fuzz/run_fuzzer.cmake)
[[ ${#limits[@]} -gt 0 ]] || { echo "no limits found in fuzz/run_fuzzer.cmake" >&2; exit 2; }

[[ -f build/fuzz/build.ninja ]] || cmake --preset fuzz
cmake --build --preset fuzz --target "fuzz_$target"

# The commit the fuzzer is built from, before later edits can change the tree.
commit=$(git rev-parse --short HEAD)
git diff --quiet HEAD || commit="$commit with local changes"

run=build/fuzz-campaign/$target
rm -rf "$run"
mkdir -p "$run/corpus" "$run/artifacts"
cp "$seeds"/* "$run/corpus/"
cp "build/fuzz/fuzz/fuzz_$target" "$run/fuzzer"

echo "fuzzing $target for $executions executions on 2 cores, log in $run/log"
start=$SECONDS
# A job that found something ends the run with its status even though the
# run went on past it; the summary is wanted all the same.
fuzzer_status=0
"$run/fuzzer" -fork=2 -ignore_crashes=1 -runs="$executions" "${time_limit[@]}" "${limits[@]}" \
  -artifact_prefix="$run/artifacts/" "$run/corpus" >"$run/log" 2>&1 || fuzzer_status=$?
[[ $fuzzer_status -eq 0 ]] || echo "the fuzzer ended with status $fuzzer_status; see $run/log" >&2
seconds=$((SECONDS - start))

# Fork mode's last status line: "#RUNS: cov: C ft: F corp: N ... time: Ts job: J ...".
status=$(grep -E '^#[0-9]+: cov: ' "$run/log" | tail -n 1) || {
  echo "no status line in $run/log" >&2
  exit 1
}
read -r runs cov ft < <(sed -E 's/^#([0-9]+): cov: ([0-9]+) ft: ([0-9]+).*/\1 \2 \3/' <<<"$status")
corpus=$(find "$run/corpus" -type f | wc -l)
crashes=$(find "$run/artifacts" -type f | wc -l)

echo "artifacts: $run/artifacts ($crashes)"
echo "| $target | $runs | $seconds | 2 | $cov/$ft | $corpus | crashes: $crashes | $commit |"
