#!/usr/bin/env bash
# The plugin in real hosts: the Linux library and the LV2 bundle in Ardour 7
# (headless, through its Lua interpreter), the 32-bit DLL in LMMS 1.2 under
# wine (on a virtual display), the LV2 bundle in ecasound 2.9, jalv 1.6 (on
# a JACK server of its own) and lv2file 0.95, and the Linux library in MusE
# 4.1's plugin scanner, and both Linux editions in Audacity 3.2 (on a virtual
# display, through its script pipe). Builds what it needs (presets linux and
# win32) unless it is there, runs each host's checks (a line per check), and
# ends with "hosts: N passed, M failed". Every process a check starts is
# ended by it.
#
#   tools/run-host-tests.sh [ardour|lmms|ecasound|jalv|lv2file|muse|audacity ...]   # all by default
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# shellcheck source=tools/summary-line.sh
. tools/summary-line.sh
hosts=("$@")
[ "${#hosts[@]}" -gt 0 ] || hosts=(ardour lmms ecasound jalv lv2file muse audacity)
# The win32 preset's toolchain and wine come with the tests profile.
tools/install-build-deps.sh build tests hosts

# build PRESET TARGET...: the preset's build tree with these targets in it.
build() {
  local preset=$1
  shift
  [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" --target "$@" >/dev/null
}

passed=0
failed=0
# A host's checks are counted from their summary line; their status adds
# nothing to what the counts say.
for host in "${hosts[@]}"; do
  case $host in
    ardour)
      build linux trimixer_plugin trimixer_lv2 trimhost broken_plugin_crashing
      run_counted ardour tests/real_hosts/ardour/run.sh "$root/build/linux" || true
      ;;
    lmms)
      build win32 trimixer_plugin
      # shellcheck source=cmake/artefacts.env.in
      source build/win32/artefacts.env
      run_counted lmms tests/real_hosts/lmms/run.sh "$root/build/win32/src/$plugin_library" \
        "$root/build/win32/lmms" || true
      ;;
    ecasound)
      build linux trimixer_plugin trimixer_lv2 trimhost
      run_counted ecasound tests/real_hosts/ecasound/run.sh "$root/build/linux" || true
      ;;
    jalv | lv2file)
      build linux trimixer_lv2
      run_counted "$host" "tests/real_hosts/lv2_cli/$host.sh" "$root/build/linux" || true
      ;;
    muse)
      build linux trimixer_plugin trimhost
      run_counted muse tests/real_hosts/muse/run.sh "$root/build/linux" || true
      ;;
    audacity)
      build linux trimixer_plugin trimixer_lv2
      run_counted audacity tests/real_hosts/audacity/run.sh "$root/build/linux" || true
      ;;
    *) echo "run-host-tests: unknown host '$host'; choose from ardour, lmms, ecasound, jalv, lv2file, muse, audacity" >&2; exit 2 ;;
  esac
done

echo "hosts: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
