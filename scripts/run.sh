#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_BUILD_TESTS=OFF
cmake --build build --target vantrel-monitor vantrel-monitor-sim
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
    echo "No display found (DISPLAY and WAYLAND_DISPLAY are empty)."
    echo "Run the program under a virtual X server instead:"
    echo "    xvfb-run -a -s '-screen 0 1280x800x24' build/src/vantrel-monitor"
    exit 1
fi
exec build/src/vantrel-monitor
