#!/usr/bin/env bash
# Times quorlen-cli export of one results document (1,000 entries x 200
# questions by default) through each of the shipped plug-in's types and its
# database device. Usage: scripts/bench-export.sh [BUILD_DIR] [ENTRIES] [QUESTIONS] [scored]
# With "scored" the document carries an answer key and each entry its score,
# as analyze --key writes it, so the export also adds the class figures.
set -euo pipefail
BUILD_DIR=${1:-build}
ENTRIES=${2:-1000}
QUESTIONS=${3:-200}
SCORED=${4:-}
CLI="$BUILD_DIR/src/cli/quorlen-cli"
PLUGIN="$BUILD_DIR/src/lib/quorlen/QuorlenExporter.so"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

/usr/bin/python3 - "$WORK/wyniki.json" "$ENTRIES" "$QUESTIONS" "$SCORED" <<'PY'
import json, random, sys
path, entries, questions, scored = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4] == "scored"
random.seed(1)
doc = {"Version": 1, "Project": "Pomiar", "QCnt": questions, "ACnt": 5, "MultiChoice": False,
       "Folder": "/skany", "Date": 1700000000000, "Date2": "14.11.2023 23:13:20", "Pominiete": [],
       "Lista": [{"Student": "%06d" % i, "FileName": "skan%04d.png" % i,
                  "Wyniki": [random.choice("ABCDE ") for _ in range(questions)]} for i in range(entries)]}
if scored:
    grades = [[30, 2], [50, 3], [75, 4], [90, 5], [100, 6]]
    key = [random.choice("ABCDE") for _ in range(questions)]
    doc["Klucz"] = {"Version": 1, "Answers": key, "Points": [1] * questions, "WrongPoints": 0,
                    "Multi": "proportional", "Grades": grades}
    for e in doc["Lista"]:
        points = sum(a == k for a, k in zip(e["Wyniki"], key))
        percent = round(100 * points / questions, 1)
        e.update({"Punkty": points, "Max": questions, "Procent": percent, "Wersja": "",
                  "Ocena": max([1] + [g for p, g in grades if int(percent + 0.5) >= p])})
json.dump(doc, open(path, "w"))
PY

run() {
  local what=$1; shift
  local start end
  start=$(date +%s.%N)
  QUORLEN_DATA_DIR="$WORK/data" "$CLI" export "$WORK/wyniki.json" "$@" --plugin "$PLUGIN" >/dev/null
  end=$(date +%s.%N)
  awk -v w="$what" -v s="$start" -v e="$end" 'BEGIN { printf "%-8s %6.3f s\n", w, e - s }'
}
echo "export of $ENTRIES ${SCORED:+scored }entries x $QUESTIONS questions (whole command: load, parse, write)"
run CSV --type 1 --out "$WORK/w.csv"
run XLSX --type 2 --out "$WORK/w.xlsx"
run SQLite --device 0
