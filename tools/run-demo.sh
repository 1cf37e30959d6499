#!/usr/bin/env bash
# Builds the plugin and runs it in our command-line host, showing what a host
# sees: the record, the parameters with their display texts and a processed
# block.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-build-deps.sh >/dev/null
cmake --preset linux >/dev/null
cmake --build --preset linux --target trimhost trimixer_plugin >/dev/null
build/linux/tools/trimhost/trimhost demo build/linux/src/kestrivane-trimixer.so
