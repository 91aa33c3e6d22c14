#!/usr/bin/env bash
# Takes the README's pictures of the program's windows under Xvfb.
set -euo pipefail
BUILD_DIR=${1:-build}
OUT=${2:-docs/screenshots}
mkdir -p "$OUT"
QUORLEN_SCREENSHOT_DIR=$(realpath "$OUT") QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$BUILD_DIR/tests/app/app_tests" --gtest_filter='Screenshots.*:DemoFirstStart.*'
ls -l "$OUT"
