# shellcheck shell=bash
# Sourced by the test scripts: runs checks that close with the line
# "NAME: N passed, M failed" and counts what that line says.

# summary_counts NAME LOG: the counts of NAME's closing line in LOG, as "N M";
# fails when there is none.
summary_counts() {
  local line
  line=$(grep -Ex "$1: [0-9]+ passed, [0-9]+ failed" "$2" | tail -n 1) || return 1
  read -r _ counted_passed _ counted_failed _ <<<"$line"
  echo "$counted_passed $counted_failed"
}

# run_counted NAME COMMAND...: runs the check, showing all it prints, and adds
# the counts of its closing line to the caller's passed and failed. A check
# with no closing line counts as one failure, "NAME: FAIL no summary line".
# Returns the check's status, or 1 for a missing closing line.
run_counted() {
  local name=$1 log status=0 counts check_passed check_failed
  shift
  log=$(mktemp)
  "$@" 2>&1 | tee "$log" || status=$?
  counts=$(summary_counts "$name" "$log") || counts=""
  rm -f "$log"
  if [ -z "$counts" ]; then
    echo "$name: FAIL no summary line"
    failed=$((failed + 1))
    return 1
  fi
  read -r check_passed check_failed <<<"$counts"
  passed=$((passed + check_passed))
  failed=$((failed + check_failed))
  return "$status"
}
