#!/usr/bin/env bash
# Sets up a fresh Debian machine, then builds and runs every test twice: under
# AddressSanitizer/UndefinedBehaviorSanitizer, and in the normal build (summary last).
# Both builds treat warnings as errors; in between, every target is built the way a
# user builds a release (plain defaults, no -Werror), which must pass too.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1
jobs=${VORLOG_JOBS:-2}
status=0
if [ "${VORLOG_SKIP_SANITIZE:-0}" != 1 ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORLOG_SANITIZE=ON -DVORLOG_WERROR=ON \
    -DVORLOG_BUILD_BENCH=OFF >/dev/null || exit 1
  ninja -C build-asan -j "$jobs" || exit 1
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" || status=1
fi
if [ "${VORLOG_SKIP_RELEASE:-0}" != 1 ]; then
  # --fresh: the project's defaults, whatever an earlier configure left in the cache.
  cmake --fresh -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
  if ninja -C build-release -j "$jobs"; then
    echo "release build of every target: passed"
  else
    echo "release build of every target: FAILED"
    status=1
  fi
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLOG_WERROR=ON >/dev/null || exit 1
ninja -C build -j "$jobs" || exit 1
ctest --test-dir build --output-on-failure -j "$jobs" || status=1
exit $status
