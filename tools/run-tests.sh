#!/usr/bin/env bash
# Builds everything from scratch if needed, with warnings as errors, and runs
# every test: natively on Linux (with valgrind memcheck runs), again built
# with clang under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz
# targets for a short bounded time, the 32-bit and 64-bit Windows DLLs under
# wine, and finally the release packages' contents.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-build-deps.sh

passed=0
failed=0
status=0
for preset in linux sanitize fuzz win32 win64; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset: test"
  log=$(mktemp)
  ctest --preset "$preset" 2>&1 | tee "$log" || status=1
  summary=$(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  rm -f "$log"
  if [ -z "$summary" ]; then
    echo "== $preset: no test summary" >&2
    status=1
    continue
  fi
  read -r fails _ _ _ _ total <<<"$summary"
  passed=$((passed + total - fails))
  failed=$((failed + fails))
done

echo "== release packages"
tools/make-release.sh
log=$(mktemp)
tools/check-release.sh 2>&1 | tee "$log" || status=1
summary=$(grep -Eo 'release: [0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1 || true)
rm -f "$log"
if [ -n "$summary" ]; then
  read -r _ release_passed _ release_failed _ <<<"$summary"
  passed=$((passed + release_passed))
  failed=$((failed + release_failed))
else
  status=1
fi

echo "all: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && exit "$status"
exit 1
