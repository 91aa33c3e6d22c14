#!/usr/bin/env bash
# Starts the desktop program. Without a display (a bare server, a CI shell)
# it says so and renders a sample sheet with the command-line tool instead.
set -euo pipefail
BUILD_DIR=${1:-build}
if [ -x "$BUILD_DIR/src/app/quorlen" ]; then
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    exec "$BUILD_DIR/src/app/quorlen" "${@:2}"
  fi
  echo "No display found (DISPLAY/WAYLAND_DISPLAY unset): not starting the window."
  echo "Try: xvfb-run $BUILD_DIR/src/app/quorlen   or set QT_QPA_PLATFORM."
fi
OUT=${QUORLEN_SAMPLE_DIR:-$BUILD_DIR/sample}
mkdir -p "$OUT"
"$BUILD_DIR/src/cli/quorlen-cli" render --questions 50 --answers 5 --code 1234 --name "Przykładowy test" --out "$OUT"
echo "Sample sheet rendered into $OUT"
