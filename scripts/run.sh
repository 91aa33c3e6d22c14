#!/usr/bin/env bash
# Starts Quorlen: the desktop program when it was built, otherwise renders a
# sample sheet with the command-line tool and says where it is.
set -euo pipefail
BUILD_DIR=${1:-build}
if [ -x "$BUILD_DIR/src/app/quorlen" ]; then
  exec "$BUILD_DIR/src/app/quorlen"
fi
OUT=${QUORLEN_SAMPLE_DIR:-$BUILD_DIR/sample}
mkdir -p "$OUT"
"$BUILD_DIR/src/cli/quorlen-cli" render --questions 50 --answers 5 --code 1234 --name "Przykładowy test" --out "$OUT"
echo "Sample sheet rendered into $OUT"
