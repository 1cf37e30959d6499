# Sourced by the test scripts: the counts of a check's closing line
# "NAME: N passed, M failed" in LOG, as "N M"; fails when there is none.
#   counts=$(summary_counts NAME LOG) || ...
summary_counts() {
  local line
  line=$(grep -Ex "$1: [0-9]+ passed, [0-9]+ failed" "$2" | tail -n 1) || return 1
  read -r _ counted_passed _ counted_failed _ <<<"$line"
  echo "$counted_passed $counted_failed"
}
