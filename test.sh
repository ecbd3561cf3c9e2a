#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: a Release build, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, and the render threads under ThreadSanitizer.
# Exits non-zero when anything fails.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"
jobs=$(nproc 2>/dev/null || echo 2)

tools/setup.sh
(cd build && ctest --output-on-failure -j "$jobs")

GLINTOR_BUILD_DIR=build-sanitize GLINTOR_BUILD_TYPE=RelWithDebInfo \
GLINTOR_CMAKE_ARGS="-DGLINTOR_SANITIZE=address,undefined -DGLINTOR_BENCHMARKS=OFF" \
    tools/setup.sh
(cd build-sanitize &&
 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
 ctest --output-on-failure -j "$jobs")
# ThreadSanitizer: render threads taking blocks and handing over counters, two at a time.
GLINTOR_BUILD_DIR=build-tsan GLINTOR_BUILD_TYPE=RelWithDebInfo GLINTOR_TARGETS=tests_render \
GLINTOR_CMAKE_ARGS="-DGLINTOR_SANITIZE=thread -DGLINTOR_BENCHMARKS=OFF" \
    tools/setup.sh
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/tests_render --gtest_filter='RenderThreads*:RenderJob*'

echo "All tests passed"
