#!/usr/bin/env bash
# Runs the whole test suite of one build directory. GUI tests use Qt's
# offscreen platform; tests that need a D-Bus session get their own bus.
set -euo pipefail
BUILD_DIR=${1:-build}
export QT_QPA_PLATFORM=offscreen
cd "$BUILD_DIR"
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && command -v dbus-run-session >/dev/null; then
  exec dbus-run-session -- ctest --output-on-failure -j "$(nproc)"
fi
exec ctest --output-on-failure -j "$(nproc)"
