#!/usr/bin/env bash
# The README's picture of the class report: a simulated class of 30 is read,
# scored and its report rendered by headless Chromium (no network needed).
set -euo pipefail
BUILD_DIR=${1:-build}
OUT=${2:-docs/screenshots}
CLI="$BUILD_DIR/src/cli/quorlen-cli"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$OUT"
"$CLI" simulate --questions 20 --answers 4 --count 30 --codes 101 --seed 7 --blank-rate 0.05 \
  --out "$WORK/skany" >/dev/null
python3 - "$WORK/skany/truth.json" "$WORK/klucz.json" <<'PY'
import collections, json, sys
truth = json.load(open(sys.argv[1]))
answers = []
for q in range(truth["Questions"]):
    marks = collections.Counter(f["Answers"][q] for f in truth["Files"] if f["Answers"][q])
    answers.append(marks.most_common()[0][0])
json.dump({"Version": 1, "Answers": answers, "Points": [1] * 10 + [2] * 10, "WrongPoints": -0.25,
           "Grades": [[30, 2], [50, 3], [75, 4], [90, 5], [100, 6]]}, open(sys.argv[2], "w"))
PY
"$CLI" analyze "$WORK/skany" --questions 20 --answers 4 --pause-us 0 --out "$WORK/wyniki.json" 2>/dev/null
# The simulator marks at random; a real class knows some answers, so each
# student gets an ability and each question a difficulty before scoring.
python3 - "$WORK/wyniki.json" "$WORK/klucz.json" <<'PY'
import json, random, sys
d = json.load(open(sys.argv[1])); key = json.load(open(sys.argv[2]))["Answers"]
d["Project"] = "Biologia 2b: sprawdzian"
rng = random.Random(7)
difficulty = [rng.uniform(0.05, 0.6) for _ in key]
difficulty[17] = 0.95
for e in d["Lista"]:
    ability = rng.uniform(0.35, 1.0)
    for q, k in enumerate(key):
        if rng.random() < ability * (1 - difficulty[q]) + 0.1:
            e["Wyniki"][q] = k
json.dump(d, open(sys.argv[1], "w"))
PY
"$CLI" score "$WORK/wyniki.json" --key "$WORK/klucz.json" --report "$WORK/raport.html" >/dev/null
echo "report of a class of 30: $(stat -c %s "$WORK/raport.html") bytes"
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=900,1400 \
  --screenshot="$(realpath "$OUT")/class-report.png" "file://$WORK/raport.html" 2>/dev/null
ls -l "$OUT/class-report.png"
