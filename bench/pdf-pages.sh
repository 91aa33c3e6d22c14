#!/bin/sh
# A copier's PDF against the same scans as files, through `quorlen-cli
# analyze`. Usage:
#   bench/pdf-pages.sh CLI [N [PAGES [BUDGET_MB]]]
# e.g. bench/pdf-pages.sh build/src/cli/quorlen-cli 200 1000 16
# 1. N office JPEGs (200 dpi) as N files, and the same JPEGs as the N pages
#    of one PDF (img2pdf keeps each JPEG as it is): the best wall time of
#    three runs each and their ratio (target: the PDF costs at most 1.1x).
# 2. A PDF of PAGES pages (the N JPEGs over and over) read under
#    --raster-budget BUDGET_MB: elapsed time and peak memory (/usr/bin/time).
# Needs img2pdf and GNU time.
set -eu
cli=$1 n=${2:-200} pages=${3:-1000} budget=${4:-16}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
project="--questions 30 --answers 4 --pause-us 0"
"$cli" simulate --questions 30 --answers 4 --count "$n" --preset office --format jpg --dpi 200 \
    --out "$dir/jpegs" >/dev/null
rm -f "$dir/jpegs/truth.json"
mkdir "$dir/pdf" "$dir/big"
# shellcheck disable=SC2046  # the file names have no spaces
img2pdf -o "$dir/pdf/skany.pdf" $(ls "$dir/jpegs"/*.jpg | sort)

best() {  # best elapsed seconds of three runs over folder $1
    b=
    for _ in 1 2 3; do
        t=$(/usr/bin/time -f %e "$cli" analyze "$1" $project 2>&1 >/dev/null | tail -n 1)
        b=$(awk -v t="$t" -v b="$b" 'BEGIN { print (b == "" || t < b) ? t : b }')
    done
    echo "$b"
}
jpeg=$(best "$dir/jpegs")
pdf=$(best "$dir/pdf")
echo "$n JPEG files: $jpeg s; one PDF of $n JPEG pages: $pdf s; ratio $(awk -v p="$pdf" -v j="$jpeg" 'BEGIN { printf "%.3f", p / j }')"

list=
i=0
while [ "$i" -lt "$pages" ]; do
    for f in "$dir/jpegs"/*.jpg; do
        [ "$i" -lt "$pages" ] || break
        list="$list $f"
        i=$((i + 1))
    done
done
# shellcheck disable=SC2086
img2pdf -o "$dir/big/skany.pdf" $list
echo "one PDF of $pages pages ($(du -m "$dir/big/skany.pdf" | cut -f1) MB), --raster-budget $budget:"
/usr/bin/time -v "$cli" analyze "$dir/big" $project --raster-budget "$budget" 2>&1 >/dev/null |
    grep -E "Maximum resident set size|Elapsed"
