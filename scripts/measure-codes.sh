#!/bin/sh
# Refused true codes and wrong codes per 1,000 simulated sheets, over the
# office preset (several seeds and question/answer shapes, 150 and 200 dpi)
# and the clean one: the table behind the README's "Codes" figures.
#   scripts/measure-codes.sh [CLI] [DIR] [SCALE]
# CLI defaults to build/src/cli/quorlen-cli, DIR to /tmp/quorlen-codes.
# SCALE (default 1) multiplies every set's count. The scans are made once in
# DIR and kept, so that another build of the reader is scored on the very
# same files; the first two sets are the runs in which the fault was seen.
set -eu
cli=${1:-build/src/cli/quorlen-cli}
dir=${2:-/tmp/quorlen-codes}
scale=${3:-1}
total=0 missing=0 wrong=0
# preset questions answers seed count [extra simulate options]
while read -r preset questions answers seed count extra; do
  count=$((count * scale))
  set_dir="$dir/$preset-${questions}x$answers-s$seed-n$count$(echo "$extra" | tr -d ' -')"
  if [ ! -f "$set_dir/truth.json" ]; then
    # shellcheck disable=SC2086 # the extra options are words
    "$cli" simulate --questions "$questions" --answers "$answers" --count "$count" --seed "$seed" \
      --preset "$preset" --format jpg $extra --out "$set_dir" >/dev/null 2>&1
  fi
  line=$("$cli" check-truth "$set_dir")
  printf '%-6s %3sq %2sa seed %-3s %-10s %s\n' "$preset" "$questions" "$answers" "$seed" "$extra" "$line"
  sheets=$(echo "$line" | sed -n 's/^sheets \([0-9]*\),.*/\1/p')
  m=$(echo "$line" | sed -n 's/.* \([0-9]*\) missing.*/\1/p')
  x=$(echo "$line" | sed -n 's/.* \([0-9]*\) wrong$/\1/p')
  total=$((total + sheets)) missing=$((missing + m)) wrong=$((wrong + x))
done <<SETS
office 30 4 33 200
office 50 5 11 600
office 20 3 5 200
office 100 4 7 100
office 50 5 21 200 --dpi 150
clean 50 5 3 300
clean 30 4 9 200
SETS
awk -v n="$total" -v m="$missing" -v x="$wrong" 'BEGIN {
  printf "all    %d sheets: %d codes refused (%.2f per 1,000), %d wrong (%.2f per 1,000)\n", n, m, 1000 * m / n, x, 1000 * x / n }'
