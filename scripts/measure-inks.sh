#!/bin/sh
# The reading of simulated sheets per ink, preset and resolution: the table
# behind the README's "Pencil" section.
#   scripts/measure-inks.sh [CLI] [COUNT] [DIR]
# CLI defaults to build/src/cli/quorlen-cli, COUNT (sheets per cell) to 20.
# The scans are made once in DIR and kept, so that another build of the
# reader can be scored on the very same files.
set -eu
cli=${1:-build/src/cli/quorlen-cli}
count=${2:-20}
dir=${3:-/tmp/quorlen-inks}
for preset in office rough; do
  for dpi in 150 200 300; do
    for ink in pen hb light; do
      set_dir="$dir/$preset-$dpi-$ink"
      if [ ! -f "$set_dir/truth.json" ]; then
        "$cli" simulate --questions 50 --answers 5 --count "$count" --seed 17 --preset "$preset" \
          --dpi "$dpi" --ink "$ink" --format jpg --out "$set_dir" >/dev/null 2>&1
      fi
      printf '%-6s %3s dpi %-5s  %s\n' "$preset" "$dpi" "$ink" "$("$cli" check-truth "$set_dir")"
    done
  done
done
