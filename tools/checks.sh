# shellcheck shell=bash
# Sourced by the scripts that check built things one property at a time: each
# check prints "ok    WHAT" or "FAIL  WHAT (REASON)", and the script closes
# with "NAME: N passed, M failed", the line tools/summary-line.sh counts.
# Scripts that source this file run without errexit: a command that fails
# is a failed check, counted and shown.

passed=0
failed=0

# check DESCRIPTION COMMAND...: runs the command and prints one line, with
# what the command printed as the reason when it fails; counts the result and
# returns the command's status.
check() {
  local what=$1 reason status
  shift
  reason=$("$@" 2>&1)
  status=$?
  if [ "$status" -eq 0 ]; then
    echo "ok    $what"
    passed=$((passed + 1))
  else
    echo "FAIL  $what${reason:+ ($(tr -s '\n' ' ' <<<"$reason" | sed 's/ *$//'))}"
    failed=$((failed + 1))
  fi
  return "$status"
}

# checks_summary NAME: prints the closing line and succeeds when no check failed.
checks_summary() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
