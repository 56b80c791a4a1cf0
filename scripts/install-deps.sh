#!/usr/bin/env bash
# Installs, from Debian's packages, what the build, tests, benchmarks and
# fuzzers need. Does nothing when everything is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-serialport-dev qt6-translations-l10n libgl-dev
  libqcustomplot-dev
  libhidapi-dev
  gpsd gpsd-clients
  libqt6sql6-sqlite sqlite3
  libgtest-dev libgmock-dev
  libbenchmark-dev time
  clang libclang-rt-14-dev clang-format
  fonts-wqy-microhei
  dpkg-dev librsvg2-bin desktop-file-utils appstream lintian man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "apdesk: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
