#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian machine.
# Safe to run again: packages already present are not fetched a second time.
set -euo pipefail

native_packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev valgrind
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libsndfile1-dev libcli11-dev nlohmann-json3-dev
  dpf-plugins-vst lsp-plugins-vst parallel
  clang-format python3 ardour xvfb strace
  lv2-dev liblilv-dev lilv-utils sordi
)
# LMMS has its wine-hosted VST server only in the i386 build.
i386_packages=(wine32:i386 lmms:i386 lmms-vst-server:i386)
wine_packages=(wine wine64)

missing() {
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
  done
}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  need_update=1
fi

mapfile -t todo < <(missing "${native_packages[@]}" "${i386_packages[@]}" "${wine_packages[@]}")
if [ "${#todo[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq
  as_root apt-get install -y -qq --no-install-recommends "${todo[@]}"
elif [ "${need_update:-0}" -eq 1 ]; then
  as_root apt-get update -qq
fi
