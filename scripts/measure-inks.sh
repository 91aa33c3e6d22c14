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
# "bare" is the rough preset without the scanner's dark border.
for preset in office rough bare; do
  case $preset in
    bare) options="--preset office --noise 0.6 --rotate-max 1.5 --jpeg-quality 70 --lighting 0.6 --blank-rate 0.02 --double-rate 0.02" ;;
    *) options="--preset $preset" ;;
  esac
  for dpi in 150 200 300; do
    for ink in pen hb light; do
      set_dir="$dir/$preset-$dpi-$ink"
      if [ ! -f "$set_dir/truth.json" ]; then
        # shellcheck disable=SC2086 # the options are words
        "$cli" simulate --questions 50 --answers 5 --count "$count" --seed 17 $options \
          --dpi "$dpi" --ink "$ink" --format jpg --out "$set_dir" >/dev/null 2>&1
      fi
      printf '%-6s %3s dpi %-5s  %s\n' "$preset" "$dpi" "$ink" "$("$cli" check-truth "$set_dir")"
    done
  done
done
