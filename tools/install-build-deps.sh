#!/usr/bin/env bash
# Installs on a Debian machine what a piece of work needs, by profile:
#
#   build   compilers and libraries for the plugin, its LV2 edition and
#           trimhost (what tools/run-demo.sh needs)
#   tests   what the test command builds and runs besides: GoogleTest, Google
#           Benchmark and lilv, clang with its sanitizer runtimes and libc++
#           (a host on another C++ runtime than the plugin's), valgrind,
#           both mingw-w64 toolchains, wine (32-bit wine is an i386 package),
#           other makers' plugins, the LV2 tools
#   hosts   the real hosts: Ardour, LMMS with its wine-hosted VST server
#           (i386 only), Audacity, jalv with a JACK server and Python's
#           JACK client (to play into it), ecasound,
#           lv2file, MusE (its plugin scanner), Xvfb, strace and gdb,
#           ImageMagick and xdotool for the screenshots
#   release what the release packages are made and checked with: NSIS for
#           the Windows installer and 7-Zip to unpack it, debhelper and
#           lintian for the Debian package, man to read the manual page,
#           bash-completion to load its completion, Ardour to find the
#           installed plugin
#   arm64   the aarch64 build and its tests under qemu-user: the cross
#           compiler, qemu-user, Debian's arm64 C and C++ runtimes (the
#           emulator runs programs with them), and its arm64 builds of the libraries
#           trimhost and the tests link (libsndfile and what it pulls, lilv,
#           GoogleTest, the LV2 headers), beside their amd64 twins
#           (multiarch: this profile adds the arm64 architecture), and the
#           arm64 pkg-config, which the cross-built Debian package asks for
#           by its target's name
#
#   tools/install-build-deps.sh [PROFILE...]   # build, tests, hosts and release by default
#
# Safe to run again: packages already present are not fetched a second time,
# and apt's lists are refreshed only when something is missing.
set -euo pipefail

build_packages=(
  build-essential cmake ninja-build pkg-config
  libsndfile1-dev libcli11-dev nlohmann-json3-dev lv2-dev
)
tests_packages=(
  python3 googletest libgtest-dev libgmock-dev libbenchmark-dev liblilv-dev
  clang libclang-rt-14-dev libc++-dev libc++abi-dev valgrind clang-format
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 wine32:i386
  dpf-plugins-vst lsp-plugins-vst parallel lilv-utils sordi
)
hosts_packages=(
  ardour xvfb x11-utils strace gdb lmms:i386 lmms-vst-server:i386
  audacity jalv jackd2 python3-jack-client ecasound lv2file muse imagemagick xdotool
)
release_packages=(nsis p7zip-full debhelper lintian man-db bash-completion ardour)
arm64_packages=(
  g++-aarch64-linux-gnu qemu-user libc6:arm64 libstdc++6:arm64
  libsndfile1-dev:arm64 liblilv-dev:arm64 libgtest-dev:arm64 lv2-dev:arm64 pkgconf:arm64
)

profiles=("$@")
[ "${#profiles[@]}" -gt 0 ] || profiles=(build tests hosts release)
wanted=()
for profile in "${profiles[@]}"; do
  case $profile in
    build) wanted+=("${build_packages[@]}") ;;
    tests) wanted+=("${tests_packages[@]}") ;;
    hosts) wanted+=("${hosts_packages[@]}") ;;
    release) wanted+=("${release_packages[@]}") ;;
    arm64) wanted+=("${arm64_packages[@]}") ;;
    *) echo "install-build-deps: unknown profile '$profile'; choose from build, tests, hosts, release, arm64" >&2; exit 2 ;;
  esac
done

missing() {
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
  done
}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

mapfile -t todo < <(missing "${wanted[@]}")
[ "${#todo[@]}" -gt 0 ] || exit 0

# A package of another architecture (i386, arm64) needs that architecture,
# and apt's lists then need refreshing.
mapfile -t foreign < <(printf '%s\n' "${todo[@]}" | sed -n 's/^.*:\([a-z0-9]*\)$/\1/p' | sort -u)
known=" $(dpkg --print-foreign-architectures | tr '\n' ' ') "
for architecture in "${foreign[@]}"; do
  if [[ $known != *" $architecture "* ]]; then
    as_root dpkg --add-architecture "$architecture"
  fi
done
export DEBIAN_FRONTEND=noninteractive
as_root apt-get update -qq
as_root apt-get install -y -qq --no-install-recommends "${todo[@]}"
