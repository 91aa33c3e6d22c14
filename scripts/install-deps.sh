#!/usr/bin/env bash
# Installs the Debian 12 packages Quorlen needs to build, test, run and
# package (dpkg-dev and file for make package, man-db, lintian and the
# validators for its tests).
# Does nothing when all are present; uses sudo when not run as root.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config clang parallel
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libfreetype-dev libfontconfig1-dev fonts-dejavu-core
  nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev qt6-translations-l10n
  dbus libglib2.0-bin xvfb xauth
  poppler-utils imagemagick cups cups-client printer-driver-cups-pdf
  libxml2-utils
  libxlsxwriter-dev libsqlite3-dev sqlite3 python3-openpyxl
  libsane-dev libsane1 sane-utils
  libqpdf-dev qpdf libpoppler-cpp-dev libtiff-dev libtiff-tools img2pdf
  dpkg-dev file man-db lintian desktop-file-utils appstream
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
