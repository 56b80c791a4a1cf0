#!/usr/bin/env bash
# Installs, from Debian's packages, what the build, tests, benchmarks and
# fuzzers need ("run": only what building and running the programs needs;
# "--tests": also the Windows cross-build and wine, which only the tests need).
# Does nothing when everything is already there.
set -euo pipefail

# What building and running the programs needs ("install-deps.sh run")...
RUN_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev qt6-translations-l10n libgl-dev
  libqcustomplot-dev
  libhidapi-dev
  qt6-speech-dev qt6-declarative-dev qt6-speech-speechd-plugin speech-dispatcher-espeak-ng espeak-ng
  libqt6sql6-sqlite
  fonts-wqy-microhei
  librsvg2-bin
)
# ... and besides, the tests, benchmarks, fuzzers and the package.
PACKAGES=(
  "${RUN_PACKAGES[@]}"
  git sqlite3
  gpsd gpsd-clients
  libgtest-dev libgmock-dev
  libbenchmark-dev time
  clang libclang-rt-14-dev clang-format
  dpkg-dev desktop-file-utils appstream lintian man-db
)
if [ "${1:-}" = run ]; then
  PACKAGES=("${RUN_PACKAGES[@]}")
fi

# Only for the tests: Windows cross-build of the plain-C++ core, run under wine.
TEST_PACKAGES=(
  g++-mingw-w64-x86-64-posix wine64
)
if [ "${1:-}" = "--tests" ]; then
  PACKAGES+=("${TEST_PACKAGES[@]}")
fi

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
# Another package manager at work (an unattended upgrade, a software
# centre) holds the lock: wait for it rather than fail.
LOCK_WAIT=(-o DPkg::Lock::Timeout=600)
$SUDO apt-get "${LOCK_WAIT[@]}" update -q
$SUDO apt-get "${LOCK_WAIT[@]}" install -y -q --no-install-recommends "${missing[@]}"
