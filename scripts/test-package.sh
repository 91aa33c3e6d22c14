#!/usr/bin/env bash
# The Debian package as an administrator meets it. lintian and the validators
# check what it holds; then it is installed with apt-get into this machine,
# the programs run from /usr/bin (the command-line tool, the window offscreen,
# bus activation through the installed service file), and it is removed
# again, leaving under /usr exactly what was there before.
#
# Installing needs root (or sudo without a password) and apt-get. Without
# them, or with QUORLEN_PACKAGE_TREE=1, the package is unpacked with dpkg -x
# into a folder and the same programs run from there.
#
#   scripts/test-package.sh [BUILD_DIR]     (after make package)
set -uo pipefail
BUILD_DIR=${1:-build}

shopt -s nullglob
debs=("$BUILD_DIR"/quorlen_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "test-package: expected one $BUILD_DIR/quorlen_*.deb, found ${#debs[@]} (run make package)" >&2
  exit 1
fi
deb=$(realpath "${debs[0]}")
version=$(dpkg-deb -f "$deb" Version)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo -n"; fi
mode=install
if [ "${QUORLEN_PACKAGE_TREE:-0}" = 1 ] || ! command -v apt-get >/dev/null || ! $SUDO true 2>/dev/null; then
  mode=tree
fi

# apt's download user must be able to read the package: a folder of our own
# that others may enter.
work=$(mktemp -d /tmp/quorlen-package.XXXXXX)
chmod 755 "$work"
installed_here=0
cleanup() {
  if [ "$installed_here" = 1 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get purge -y -qq quorlen >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
pass() { echo "ok: $1"; passed=$((passed + 1)); }
fail() { echo "FAILED: $1" >&2; failed=$((failed + 1)); }
# check NAME COMMAND...: the command's output is shown when it fails.
check() {
  local name=$1 out
  shift
  if out=$("$@" 2>&1); then pass "$name"; else fail "$name"; printf '%s\n' "$out" >&2; fi
}
snapshot() { find /usr -xdev | LC_ALL=C sort; }

echo "== the package"
echo "file: $deb"
echo "size: $(stat -c %s "$deb") bytes, installed $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"

echo "== lintian"
lintian_out=$(lintian --fail-on error --display-info "$deb" 2>&1 | grep -v 'running with root privileges')
lintian_status=${PIPESTATUS[0]}
[ -n "$lintian_out" ] && printf '%s\n' "$lintian_out"
if [ "$lintian_status" = 0 ]; then pass "lintian shows no error"; else fail "lintian shows errors"; fi

echo "== what it holds"
tree=$work/tree
dpkg-deb -x "$deb" "$tree"
for f in usr/bin/quorlen usr/bin/quorlen-cli usr/lib/quorlen/QuorlenExporter.so usr/include/quorlen/exporter.h \
  usr/share/quorlen/quorlen.demo usr/share/applications/quorlen.desktop \
  usr/share/icons/hicolor/scalable/apps/quorlen.svg usr/share/metainfo/com.brenvik.Quorlen.metainfo.xml \
  usr/share/man/man1/quorlen.1.gz usr/share/man/man1/quorlen-cli.1.gz \
  usr/share/bash-completion/completions/quorlen-cli usr/share/dbus-1/services/com.brenvik.Quorlen.service \
  usr/share/dbus-1/interfaces/com.brenvik.Quorlen.Server.xml usr/share/doc/quorlen/copyright \
  usr/share/doc/quorlen/changelog.gz; do
  if [ -f "$tree/$f" ]; then pass "/$f"; else fail "/$f is missing"; fi
done
check "desktop-file-validate" bash -c "out=\$(desktop-file-validate '$tree/usr/share/applications/quorlen.desktop' 2>&1); echo \"\$out\"; [ -z \"\$out\" ]"
check "appstreamcli validate" appstreamcli validate --no-net "$tree/usr/share/metainfo/com.brenvik.Quorlen.metainfo.xml"
check "the service file starts /usr/bin/quorlen" grep -qx 'Exec=/usr/bin/quorlen /AUTOMATION' \
  "$tree/usr/share/dbus-1/services/com.brenvik.Quorlen.service"

if [ "$mode" = install ]; then
  echo "== apt-get install"
  if dpkg-query -W -f='${Status}' quorlen 2>/dev/null | grep -q 'install ok installed'; then
    echo "test-package: a quorlen package is installed on this machine already; not replacing it" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  # What the package needs comes first, so that the file lists below differ
  # by the package's own files alone.
  depends=$(dpkg-deb -f "$deb" Depends)
  if ! $SUDO apt-get satisfy -y -qq --no-install-recommends "$depends" >/dev/null 2>&1; then
    $SUDO apt-get update -qq && $SUDO apt-get satisfy -y -qq --no-install-recommends "$depends" >/dev/null
  fi
  # A machine set up to leave manual pages out (dpkg path-exclude) keeps ours.
  apt_options=()
  if grep -rhs '^path-exclude' /etc/dpkg/dpkg.cfg.d/ | grep -q '/usr/share/man'; then
    apt_options+=(-o "DPkg::Options::=--path-include=/usr/share/man/man1/quorlen*")
  fi
  before=$work/before.txt
  snapshot >"$before"
  cp "$deb" "$work/" && chmod 644 "$work/$(basename "$deb")"
  if $SUDO apt-get install -y -qq --no-install-recommends "${apt_options[@]}" "$work/$(basename "$deb")" >"$work/apt.log" 2>&1; then
    installed_here=1
    pass "apt-get install ./$(basename "$deb")"
  else
    cat "$work/apt.log" >&2
    fail "apt-get install"
  fi
  snapshot >"$work/installed.txt"
  dpkg -L quorlen 2>/dev/null | LC_ALL=C sort >"$work/owned.txt"
  stray=$(LC_ALL=C comm -13 "$before" "$work/installed.txt" | LC_ALL=C comm -23 - "$work/owned.txt")
  if [ -z "$stray" ]; then pass "installing added nothing under /usr but the package's files"; else
    fail "installing added files the package does not own:"; printf '%s\n' "$stray" >&2; fi
  root=""
  share=/usr/share
else
  echo "== unpacked into $tree (not installed: no root, no apt-get, or QUORLEN_PACKAGE_TREE=1)"
  root=$tree
  # The bus starts what the service file names; here that is the unpacked program.
  share=$work/share
  mkdir -p "$share/dbus-1/services"
  sed "s|^Exec=/usr/bin/|Exec=$tree/usr/bin/|" "$tree/usr/share/dbus-1/services/com.brenvik.Quorlen.service" \
    >"$share/dbus-1/services/com.brenvik.Quorlen.service"
  export MANPATH=$tree/usr/share/man
fi
bin=$root/usr/bin

echo "== the programs from $bin"
home=$work/home
mkdir -p "$home"
# A person's fresh session: no settings, no display, no bus of the caller's.
fresh=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u QUORLEN_DATA_DIR -u XDG_DATA_HOME
  -u XDG_CONFIG_HOME -u DBUS_SESSION_BUS_ADDRESS HOME="$home" XDG_DATA_DIRS="$share")
run() { "${fresh[@]}" "$@"; }
check "quorlen-cli --version" bash -c "[ \"\$('$bin/quorlen-cli' --version)\" = 'quorlen-cli $version' ]"
check "quorlen --version" bash -c "[ \"\$(env -u DISPLAY '$bin/quorlen' --version)\" = 'quorlen $version' ]"
for page in quorlen-cli quorlen; do
  check "man -w $page" bash -c "[ \"\$(man -w $page)\" = '$root/usr/share/man/man1/$page.1.gz' ]"
done

scans=$work/scans
check "quorlen-cli simulate && quorlen-cli analyze" bash -c "
  '$bin/quorlen-cli' simulate --questions 10 --answers 4 --count 3 --preset clean --out '$scans' >/dev/null &&
  '$bin/quorlen-cli' analyze '$scans' --questions 10 --answers 4 --out '$work/wyniki.json' &&
  [ \"\$(grep -o '\"Student\"' '$work/wyniki.json' | wc -l)\" = 3 ]"
check "quorlen-cli export --list finds the installed plug-in" run bash -c \
  "'$bin/quorlen-cli' export --list | grep -q 'Plik CSV'"

paths=$(run "$bin/quorlen" --paths)
printf '%s\n' "$paths"
check "quorlen finds the installed plug-in" grep -qx "exporter plug-in: $root/usr/lib/quorlen/QuorlenExporter.so" <<<"$paths"
check "quorlen finds the installed demo archive" grep -qx "demo archive: $root/usr/share/quorlen/quorlen.demo" <<<"$paths"

# The window on the offscreen platform, its first start: it takes the demo
# archive from its installed place and unpacks the 30 scans of the demo.
demo=$home/Documents/QuorlenDemo
# Started as a plain command, so that $! is the program itself (env execs it).
"${fresh[@]}" QT_QPA_PLATFORM=offscreen "$bin/quorlen" >"$work/window.log" 2>&1 &
window=$!
for _ in $(seq 1 120); do
  [ "$(find "$demo" -name 'Skan*.png' 2>/dev/null | wc -l)" -ge 30 ] && [ -f "$demo/Demo.spf" ] && break
  kill -0 "$window" 2>/dev/null || break
  sleep 0.5
done
if [ -f "$demo/Demo.spf" ] && [ "$(find "$demo" -name 'Skan*.png' | wc -l)" = 30 ]; then
  pass "the window starts offscreen and unpacks the installed demo"
else
  fail "the window did not unpack the demo"; cat "$work/window.log" >&2
fi
if kill -0 "$window" 2>/dev/null; then pass "the window keeps running"; else fail "the window ended"; fi
kill "$window" 2>/dev/null
wait "$window" 2>/dev/null
if kill -0 "$window" 2>/dev/null; then kill -9 "$window"; fail "the window did not end when told to"; fi

# Bus activation: a private session bus that knows the service only from the
# installed service file starts the program for a client's call.
cat >"$work/command.json" <<EOF
{"Title":"Pakiet","ScansFolder":"$scans","QCnt":10,"ACnt":4}
EOF
cat >"$work/activation.sh" <<'EOF'
set -eu
bin=$1 work=$2
bus() { gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus --method "org.freedesktop.DBus.$@"; }
bus StartServiceByName com.brenvik.Quorlen 0 >/dev/null
pid=$(bus GetConnectionUnixProcessID com.brenvik.Quorlen | tr -dc '0-9 ' | awk '{print $NF}')
[ "$(readlink "/proc/$pid/exe")" = "$bin/quorlen" ] || { echo "the bus started $(readlink "/proc/$pid/exe")"; exit 1; }
"$bin/quorlen-cli" automate "$work/command.json" >"$work/reply.json"
[ "$(grep -o '"Student"' "$work/reply.json" | wc -l)" = 3 ] || { cat "$work/reply.json"; exit 1; }
# It ends with its last client.
for _ in $(seq 1 100); do [ -d "/proc/$pid" ] || exit 0; sleep 0.2; done
echo "the activated program did not end"; exit 1
EOF
check "bus activation through the installed service file" run dbus-run-session -- bash "$work/activation.sh" "$bin" "$work"

if [ "$mode" = install ]; then
  echo "== apt-get remove"
  if $SUDO apt-get remove -y -qq quorlen >"$work/apt.log" 2>&1; then
    installed_here=0
    pass "apt-get remove quorlen"
  else
    cat "$work/apt.log" >&2
    fail "apt-get remove"
  fi
  left=$(snapshot | LC_ALL=C diff "$before" - | grep '^[<>]')
  if [ -z "$left" ]; then pass "nothing is left under /usr"; else
    fail "/usr differs from before the install:"; printf '%s\n' "$left" >&2; fi
  # dpkg still remembers the removed package (its postrm); forget it too.
  $SUDO apt-get purge -y -qq quorlen >/dev/null 2>&1
fi

echo "package: $passed passed, $failed failed"
[ "$failed" = 0 ]
