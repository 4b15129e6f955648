#!/usr/bin/env bash
# Builds Parvon and starts it on the embedded demo directory.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release --target parvon parvon-dirtool
export PARVON_CLIENT_STORE="${PARVON_CLIENT_STORE:-$PWD/build/demo-store}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/release/src/parvon "$@"
fi
exec build/release/src/parvon "$@"
