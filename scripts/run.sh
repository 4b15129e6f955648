#!/usr/bin/env bash
# Builds Parvon and starts it. Its store is the one parvon-dirtool shows: the folder named by
# PARVON_CLIENT_STORE, else "client" in the user's data location (~/.local/share/Parvon/client);
# on the first start the program fills it with the demo tree.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target parvon parvon-dirtool
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/release/src/parvon "$@"
fi
exec build/release/src/parvon "$@"
