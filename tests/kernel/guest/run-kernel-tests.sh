#!/usr/bin/env bash
# Runs inside the test guest (see scripts/test-kernel): the kernel tests of a build tree, the
# fault soak among them, then, with --bench, the exchange benchmarks and the plug latency.
# Usage: run-kernel-tests.sh BUILD_DIR [--bench]
set -uo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../../.." && pwd)
export QT_QPA_PLATFORM=offscreen UPDATER_SOURCE_DIR=$source_dir UPDATER_RESOURCE_DIR=$build/bin/resources
# Qt complains on every start without one; the console is slow.
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
status=0
for test in hidraw_kernel_test main_window_kernel_test cli_kernel_test window_kernel_soak_test; do
  "$build/bin/$test" --gtest_color=no || status=1
done
if [ "${2:-}" = --bench ]; then
  "$build/bin/kernel_exchange_benchmark" --benchmark_counters_tabular=true || status=1
  "$build/bin/plug_latency_benchmark" || status=1
fi
exit $status
