#!/usr/bin/env bash
# Sets up a fresh Debian machine, then builds and runs every test twice: under
# AddressSanitizer/UndefinedBehaviorSanitizer, and in the normal build (summary last).
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1
jobs=${VORLOG_JOBS:-2}
status=0
if [ "${VORLOG_SKIP_SANITIZE:-0}" != 1 ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORLOG_SANITIZE=ON -DVORLOG_BUILD_BENCH=OFF >/dev/null || exit 1
  ninja -C build-asan -j "$jobs" || exit 1
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" || status=1
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
ninja -C build -j "$jobs" || exit 1
ctest --test-dir build --output-on-failure -j "$jobs" || status=1
exit $status
