#!/usr/bin/env bash
# Builds the plugin and its Google Benchmark program (linux preset) and runs
# them. Each benchmark is repeated, its repetitions shuffled among the
# others', and shown as mean, median, spread and coefficient of variation, so
# that a busy spell of the machine spreads over all cases; the ratios printed
# at the end come from the medians. Arguments go to the benchmark program and
# override these defaults, e.g.
#
#   bench/run-benchmarks.sh --benchmark_filter='process/float/256/'
#   bench/run-benchmarks.sh --benchmark_repetitions=1
#   bench/run-benchmarks.sh --benchmark_out=results.json --benchmark_out_format=json
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset linux >/dev/null
cmake --build --preset linux --target plugin_benchmarks >/dev/null
exec build/linux/bench/plugin_benchmarks \
  --benchmark_min_time=0.1 \
  --benchmark_repetitions=5 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_display_aggregates_only=true \
  "$@"
