#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Vorlog and records the simulated link for a
# few seconds with vorlog-cli, then shows what was captured.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build vorlog-cli
out=${VORLOG_DEMO_FILE:-build/demo.vrd}
rm -f "$out"
./build/cli/vorlog-cli record "$out" --simulate --duration "${VORLOG_DEMO_SECONDS:-5}"
./build/cli/vorlog-cli info "$out"
echo "--- the first 40 events ---"
./build/cli/vorlog-cli dump "$out" --count 40
