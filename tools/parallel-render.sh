#!/usr/bin/env bash
# Renders many audio files through a plugin with GNU parallel, one trimhost
# run per file: on this machine, or on several with parallel's own options
# (--sshloginfile, --transferfile, --return; see docs/trimhost.md).
#
#   tools/parallel-render.sh PLUGIN OUTPUT_DIR FILE...
#
# Every file's JSON result is collected in OUTPUT_DIR/results.jsonl, and the
# files that failed are listed in OUTPUT_DIR/failed.txt, one per line, for a
# re-run: tools/parallel-render.sh PLUGIN OUTPUT_DIR $(cat OUTPUT_DIR/failed.txt)
# Environment: JOBS (parallel's --jobs, default one per core), TRIMHOST (the
# tool, default trimhost from PATH), TRIMHOST_OPTIONS (options for every
# render, split at blanks, such as "--set-file mix.txt --format pcm24").
# Exits 1 when any file failed.
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 PLUGIN OUTPUT_DIR FILE..." >&2; exit 2; }
plugin=$1 out=$2
shift 2
mkdir -p "$out"
read -r -a options <<<"${TRIMHOST_OPTIONS:-}"

# Each job renders one file as a batch of one; its JSON line goes to the
# results, its human lines to the job log's stderr. parallel exits with the
# number of failed jobs, which the list below reports file by file.
parallel --jobs "${JOBS:-100%}" --joblog "$out/jobs.log" \
  "${TRIMHOST:-trimhost}" render "$plugin" {} --output-dir "$out" --json "${options[@]}" \
  ::: "$@" >"$out/results.jsonl" || true

python3 - "$out/results.jsonl" >"$out/failed.txt" <<'PY'
import json, sys
for line in open(sys.argv[1]):
    result = json.loads(line)
    if result["status"] != "ok":
        print(result["input"])
PY
failed=$(wc -l <"$out/failed.txt")
echo "parallel-render: $(($# - failed)) of $# files rendered into $out; results in $out/results.jsonl" >&2
[ "$failed" -eq 0 ] || { echo "parallel-render: failed: $(paste -sd' ' "$out/failed.txt")" >&2; exit 1; }
