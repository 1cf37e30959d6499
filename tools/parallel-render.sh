#!/usr/bin/env bash
# Renders many audio files through a plugin with GNU parallel, one trimhost
# run per file: on this machine, or on several with parallel's own options
# (--sshloginfile, --transferfile, --return; see docs/trimhost.md).
#
#   tools/parallel-render.sh PLUGIN OUTPUT_DIR FILE...
#
# Every file's JSON result is collected in OUTPUT_DIR/results.jsonl, and the
# files that failed are listed in OUTPUT_DIR/failed.txt, one per line with
# their names' exact bytes, for a re-run:
#   mapfile -t files <OUTPUT_DIR/failed.txt
#   tools/parallel-render.sh PLUGIN OUTPUT_DIR "${files[@]}"
# A file name holding a newline could not be listed so, and is refused.
# Environment: JOBS (parallel's --jobs, default one per core), TRIMHOST (the
# tool, default trimhost from PATH), TRIMHOST_OPTIONS (options for every
# render, split at blanks, such as "--set-file mix.txt --format pcm24", or
# --overwrite and --skip-existing for outputs that exist).
# Exits 1 when any file failed, and with trimhost's status before anything is
# rendered when the batch could not work as a whole: two inputs that would
# share an output, an output that exists, a bad option or an unknown plugin.
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 PLUGIN OUTPUT_DIR FILE..." >&2; exit 2; }
plugin=$1 out=$2
shift 2
trimhost=${TRIMHOST:-trimhost}
read -r -a options <<<"${TRIMHOST_OPTIONS:-}"

for name in "$@"; do
  case $name in *$'\n'*)
    echo "parallel-render: a file name holds a newline, which failed.txt cannot list: $name" >&2
    exit 2 ;;
  esac
done

# Each job sees only its own file, so the checks across files are made first,
# by trimhost's own batch checks over the whole list.
status=0
"$trimhost" render "$plugin" "$@" --output-dir "$out" --dry-run "${options[@]}" >/dev/null || status=$?
[ "$status" -eq 0 ] || { echo "parallel-render: nothing rendered" >&2; exit "$status"; }
mkdir -p "$out"

# Each job renders one file as a batch of one; its JSON line goes to the
# results, its human lines to the job log's stderr. parallel exits with the
# number of failed jobs, which the list below reports file by file.
parallel --jobs "${JOBS:-100%}" --joblog "$out/jobs.log" \
  "$trimhost" render "$plugin" {} --output-dir "$out" --json "${options[@]}" \
  ::: "$@" >"$out/results.jsonl" || true

# A file without a result line failed too: its job ended before it could say.
# A byte of a name that is not UTF-8 comes as \udcXX in the JSON and in
# Python's sys.argv alike; os.fsencode gives the name's bytes back.
read -r rendered skipped < <(python3 - "$out" "$@" <<'PY'
import json, os, sys
out, inputs = sys.argv[1], sys.argv[2:]
status = {}
for line in open(out + "/results.jsonl", "rb"):
    result = json.loads(line)
    status[result["input"]] = result["status"]
with open(out + "/failed.txt", "wb") as failed:
    for name in inputs:
        if status.get(name) not in ("ok", "skipped"):
            failed.write(os.fsencode(name) + b"\n")
print(sum(s == "ok" for s in status.values()), sum(s == "skipped" for s in status.values()))
PY
)
skip_note=
[ "$skipped" -eq 0 ] || skip_note=", $skipped skipped as their output exists"
echo "parallel-render: $rendered of $# files rendered into $out$skip_note; results in $out/results.jsonl" >&2
[ ! -s "$out/failed.txt" ] || { echo "parallel-render: failed: $(paste -sd' ' "$out/failed.txt")" >&2; exit 1; }
