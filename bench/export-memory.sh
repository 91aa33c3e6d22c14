#!/bin/sh
# Peak memory of `quorlen-cli export` of a big results document, for every
# file type and device of the shipped plug-in. Usage:
#   bench/export-memory.sh CLI PLUGIN [ENTRIES [QUESTIONS]]
# e.g. bench/export-memory.sh build/src/cli/quorlen-cli build/src/lib/quorlen/QuorlenExporter.so 1000000 20
# Prints the document's size and, per exporter, the "Maximum resident set
# size" and the time of the run. Needs python3.
set -eu
cli=$1 plugin=$2 entries=${3:-1000000} questions=${4:-20}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
here=$(dirname "$0")
python3 "$here/make-results.py" "$entries" "$questions" "$dir/wyniki.json"
size=$(stat -c %s "$dir/wyniki.json")
echo "document: $entries entries, $questions questions, $size bytes ($((size / 1024)) kB)"
run() {
    name=$1
    shift
    /usr/bin/time -v env QUORLEN_DATA_DIR="$dir/data" "$cli" export "$dir/wyniki.json" --plugin "$plugin" "$@" \
        2>"$dir/time" >/dev/null || { echo "$name: failed"; cat "$dir/time"; return; }
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$dir/time")
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$dir/time")
    echo "$name: max RSS $rss kB ($(awk "BEGIN{printf \"%.2f\", $rss * 1024 / $size}") x the document), $wall"
}
run csv --type 1 --out "$dir/out.csv"
run xlsx --type 2 --out "$dir/out.xlsx"
run sqlite --device 0
