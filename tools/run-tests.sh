#!/usr/bin/env bash
# The test command: installs the build dependencies, builds with warnings as
# errors and runs the tests of each preset named, in the order named, or of
# all of them in this order:
#
#   linux     natively on Linux, with valgrind memcheck runs
#   sanitize  built with clang under AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan      many instances of both editions on many threads, under ThreadSanitizer (clang)
#   fuzz      the fuzz targets: their corpus and saved regressions, then fuzzing for a bounded time
#   win32     the 32-bit Windows DLL, its tests under wine
#   win64     the 64-bit Windows DLL, its tests under wine
#   arm64     the Linux aarch64 build (preset linux-arm64), its tests under
#             qemu-user, its renders compared with the demo preset's native ones
#   hosts     the plugin in real hosts: Ardour 7, LMMS 1.2, ecasound 2.9 and MusE 4.1's
#             plugin scanner (tools/run-host-tests.sh)
#   release   the release packages: tools/make-release.sh, then tools/check-release.sh,
#             the installer tests in tests/installers, and tools/check-reproducible.sh
#             (the same commit built again in a clone elsewhere gives the same files)
#   format    the layout of every tracked .cpp and .h file (tools/check-format.sh)
#
#   tools/run-tests.sh                # everything
#   tools/run-tests.sh linux format   # only these
#
# A preset's totals come from the JUnit file of its ctest run
# (tools/ctest-totals.py), release's and format's from their scripts' summary
# lines. A preset that does not configure or build, runs no test, or whose
# ctest fails with no test failing counts one failure more. Ends with
# "all: N passed, M failed, K skipped" and exits non-zero when anything failed;
# each step's seconds follow its totals, and all of them precede that line.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tools/summary-line.sh
. tools/summary-line.sh

all_steps=(linux sanitize tsan fuzz win32 win64 arm64 hosts release format)
steps=("$@")
[ "${#steps[@]}" -gt 0 ] || steps=("${all_steps[@]}")
for step in "${steps[@]}"; do
  case " ${all_steps[*]} " in
    *" $step "*) ;;
    *) echo "run-tests: unknown preset '$step'; choose from: ${all_steps[*]}" >&2; exit 2 ;;
  esac
done

profiles=(build tests)
case " ${steps[*]} " in *" hosts "*) profiles+=(hosts) ;; esac
case " ${steps[*]} " in *" release "*) profiles+=(release) ;; esac
case " ${steps[*]} " in *" arm64 "* | *" release "*) profiles+=(arm64) ;; esac
tools/install-build-deps.sh "${profiles[@]}"
install_seconds=$SECONDS

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
skipped=0
status=0

# A step that went wrong beyond what its totals say: one failure more.
step_failed() {
  echo "== $1" >&2
  failed=$((failed + 1))
  status=1
}

run_preset() {
  local preset=$1 junit=$work/$1.xml ctest_status totals preset_passed preset_failed preset_skipped
  echo "== $preset: configure and build"
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset"; then
    step_failed "$preset: configuring or building failed"
    return
  fi
  echo "== $preset: test"
  ctest_status=0
  ctest --preset "$preset" --output-junit "$junit" || ctest_status=$?
  if ! totals=$(tools/ctest-totals.py "$junit"); then
    step_failed "$preset: no test results"
    return
  fi
  read -r preset_passed preset_failed preset_skipped <<<"$totals"
  echo "== $preset: $preset_passed passed, $preset_failed failed, $preset_skipped skipped"
  passed=$((passed + preset_passed))
  failed=$((failed + preset_failed))
  skipped=$((skipped + preset_skipped))
  if [ $((preset_passed + preset_failed)) -eq 0 ]; then
    step_failed "$preset: no test ran"
  elif [ "$ctest_status" -ne 0 ] && [ "$preset_failed" -eq 0 ]; then
    step_failed "$preset: ctest failed (status $ctest_status) with no test failing"
  fi
}

# A check script that fails makes the whole command fail, even where its
# counts show no failure.

# The seconds each step took, in order, for the closing lines.
times=("install ${install_seconds}s")
for step in "${steps[@]}"; do
  step_start=$SECONDS
  case $step in
    release)
      echo "== release packages"
      if tools/make-release.sh; then
        run_counted release tools/check-release.sh || status=1
        run_counted windows-installer tests/installers/windows_installer.sh || status=1
        run_counted debian-package tests/installers/debian_package.sh || status=1
        run_counted reproducible tools/check-reproducible.sh build/release || status=1
      else
        step_failed "release: making the packages failed"
      fi
      ;;
    arm64)
      echo "== arm64: the native build its renders are compared with"
      if cmake --preset demo >/dev/null && cmake --build --preset demo; then
        run_preset linux-arm64
      else
        step_failed "arm64: building the native reference failed"
      fi
      ;;
    hosts)
      echo "== hosts"
      run_counted hosts tools/run-host-tests.sh || status=1
      ;;
    format)
      echo "== format"
      run_counted format tools/check-format.sh || status=1
      ;;
    *) run_preset "$step" ;;
  esac
  times+=("$step $((SECONDS - step_start))s")
  echo "== $step took $((SECONDS - step_start)) s"
done

echo "times: ${times[*]/%/,} whole ${SECONDS}s"

echo "all: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ] && exit "$status"
exit 1
