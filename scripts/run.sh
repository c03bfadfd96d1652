#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Vorlog and starts the window on its default:
# the simulated link when no serial port is there. Without a display it runs under a
# virtual X server (xvfb-run). Arguments are handed to vorlog as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build vorlog vorlog-cli
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run.sh: no display; starting vorlog under xvfb-run" >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ./build/bin/vorlog "$@"
fi
exec ./build/bin/vorlog "$@"
