#!/usr/bin/env bash
# Our scan of a 10-page feeder batch against scanimage --batch of the same
# device and settings, in the same run: SANE's test backend with A4 pages,
# 200 dpi grey, PNG files. Rounds alternate which program goes first.
#   bench/scan-vs-scanimage.sh [BUILD_DIR] [ROUNDS] [TEST_PICTURE]
set -euo pipefail
BUILD_DIR=${1:-build}
ROUNDS=${2:-7}
PICTURE=${3:-Color pattern}
CLI=$(realpath "$BUILD_DIR/src/cli/quorlen-cli")
command -v scanimage >/dev/null || { echo "scanimage (sane-utils) is needed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A private configuration: only the test backend, its pages A4.
mkdir "$work/sane"
echo test >"$work/sane/dll.conf"
printf '%s\n' 'number_of_devices 1' 'mode Gray' 'depth 8' 'resolution_min 1.0' 'resolution_max 1200.0' \
  'resolution_quant 1.0' 'resolution 50.0' 'geometry_min 0.0' 'geometry_max 300.0' 'geometry_quant 1.0' \
  'tl_x 0.0' 'tl_y 0.0' 'br_x 210.0' 'br_y 297.0' >"$work/sane/test.conf"
export SANE_CONFIG_DIR="$work/sane"

ours() {
  "$CLI" scan --device test:0 --source ADF --resolution 200 --mode Gray --option "test-picture=$PICTURE" \
    --out "$1" >/dev/null 2>"$work/ours.err"
}
theirs() {
  mkdir -p "$1"
  scanimage -d test:0 --source 'Automatic Document Feeder' --resolution 200 --mode Gray \
    --test-picture "$PICTURE" --format=png --batch="$1/out%d.png" >/dev/null 2>"$work/theirs.err"
}
# Seconds of wall time of one batch into folder; a batch short of 10 pages stops the bench.
run() {
  local what=$1 folder=$2 start end
  start=$(date +%s.%N)
  "$what" "$folder"
  end=$(date +%s.%N)
  local pages
  pages=$(find "$folder" -name '*.png' | wc -l)
  [ "$pages" -eq 10 ] || { echo "$what saved $pages pages, not 10" >&2; cat "$work/$what.err" >&2; exit 1; }
  echo "$end - $start" | bc -l
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/ours.txt"
: >"$work/theirs.txt"
for ((i = 1; i <= ROUNDS; i++)); do
  if ((i % 2)); then
    run ours "$work/ours$i" >>"$work/ours.txt"
    run theirs "$work/theirs$i" >>"$work/theirs.txt"
  else
    run theirs "$work/theirs$i" >>"$work/theirs.txt"
    run ours "$work/ours$i" >>"$work/ours.txt"
  fi
done
o=$(median <"$work/ours.txt")
t=$(median <"$work/theirs.txt")
printf 'test backend, 10 A4 pages, 200 dpi Gray, "%s", %d rounds, load average %s\n' "$PICTURE" "$ROUNDS" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
printf 'quorlen-cli scan      median %.3f s  (%s)  %s bytes\n' "$o" "$(sort -n "$work/ours.txt" | awk '{ printf "%s%.3f", (NR > 1 ? " " : ""), $1 }')" \
  "$(du -sb "$work/ours1" | cut -f1)"
printf 'scanimage --batch     median %.3f s  (%s)  %s bytes\n' "$t" "$(sort -n "$work/theirs.txt" | awk '{ printf "%s%.3f", (NR > 1 ? " " : ""), $1 }')" \
  "$(du -sb "$work/theirs1" | cut -f1)"
printf 'ours / scanimage      %.2f\n' "$(echo "$o / $t" | bc -l)"
