#!/usr/bin/env bash
# The cost of the automation server on one analysis: the same scan folder read
# by `quorlen-cli analyze` and by the desktop program through
# `quorlen-cli automate` (its results document and a Progress event per answer
# over the session bus). The program is started first and waited for, so its
# start-up is not counted.
#   scripts/bench-automation.sh SCAN_FOLDER QUESTIONS ANSWERS [BUILD_DIR]
set -euo pipefail
FOLDER=$(realpath "$1")
QUESTIONS=$2
ANSWERS=$3
BUILD_DIR=$(realpath "${4:-build}")
CLI="$BUILD_DIR/src/cli/quorlen-cli"
APP="$BUILD_DIR/src/app/quorlen"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f s", b - a }'; }
export -f since

# Wall time moves with whatever else the machine runs; the processor time of
# the reading process (user + sys) much less.
export TIMEFORMAT='%U s user + %S s sys'
start=$(date +%s.%N)
{ time "$CLI" analyze "$FOLDER" --questions "$QUESTIONS" --answers "$ANSWERS" --out "$WORK/cli.json" 2>/dev/null; } 2> "$WORK/cli.time"
echo "quorlen-cli analyze:  $(since "$start"), $(cat "$WORK/cli.time")"

printf '{"Title":"bench","ScansFolder":"%s","QCnt":%s,"ACnt":%s}' "$FOLDER" "$QUESTIONS" "$ANSWERS" > "$WORK/command.json"
cat > "$WORK/automate.sh" <<SCRIPT
set -euo pipefail
{ time QT_QPA_PLATFORM=offscreen QUORLEN_DATA_DIR="$WORK/data" "$APP" /AUTOMATION 2>/dev/null; } 2> "$WORK/app.time" &
APP_PID=\$!
until gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
      --method org.freedesktop.DBus.NameHasOwner com.brenvik.Quorlen | grep -q true; do sleep 0.05; done
start=\$(date +%s.%N)
timeout 600 "$CLI" automate "$WORK/command.json" > "$WORK/automation.json" || true
echo "quorlen-cli automate: \$(since "\$start")"
# It ends with its last client; a run stuck on an operator question would not.
for _ in \$(seq 50); do kill -0 \$APP_PID 2>/dev/null || break; sleep 0.1; done
kill \$APP_PID 2>/dev/null || true
wait
echo "the program's process:  \$(cat "$WORK/app.time") (its start-up included)"
SCRIPT
dbus-run-session -- bash "$WORK/automate.sh" 2>/dev/null
python3 - "$WORK/cli.json" "$WORK/automation.json" <<'PY'
import json, sys
a, b = (json.load(open(p)) for p in sys.argv[1:])
print("entries: analyze %d, automation %d" % (len(a["Lista"]), len(b["Lista"])))
PY
