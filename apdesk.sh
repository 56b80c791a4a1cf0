#!/usr/bin/env bash
# apdesk.sh run   install what is missing, build, start on the simulated controller
# apdesk.sh test  install what is missing, build normal, sanitizer, fuzz and Windows builds, run every test
# apdesk.sh test-windows  cross-build the plain-C++ libraries and their tests for Windows, run them under wine
# apdesk.sh package  install what is missing, build the programs, make apdesk_VERSION_ARCH.deb here
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=${JOBS:-$(nproc)}

configure_build() {  # dir, extra cmake args... (TARGETS, when set, limits what is built)
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja "$@"
  elif [ $# -gt 0 ]; then
    # Configured before (perhaps by "run", without the tests): the options
    # asked for now hold.
    cmake -S "$ROOT" -B "$dir" "$@" >/dev/null
  fi
  if [ -n "${TARGETS:-}" ]; then
    # shellcheck disable=SC2086
    cmake --build "$dir" -j "$JOBS" --target $TARGETS
  else
    cmake --build "$dir" -j "$JOBS"
  fi
}

run_ctest() {  # dir, extra ctest args...
  local dir=$1; shift
  (cd "$dir" && ctest --output-on-failure -j "$JOBS" "$@")
}

test_windows() {
  # A wine folder of the build's own, made on first use; no display needed.
  export WINEPREFIX="$ROOT/build-windows/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  mkdir -p "$ROOT/build-windows"
  # Making the wine folder takes half a minute: before the tests list themselves.
  [ -d "$WINEPREFIX" ] || /usr/lib/wine/wine64 wineboot --init
  # Debug: the quickest to build, and clear of GCC 12's false -Wrestrict
  # warnings about std::string at -O3.
  configure_build build-windows -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Debug -DAPDESK_WITH_QT=OFF -DAPDESK_BENCH=OFF
  run_ctest build-windows
}

cmd=${1:-}
case "$cmd" in
  run)
    "$ROOT/scripts/install-deps.sh" run
    # Only the programs and the files "cmake --install build" lays out (icons,
    # manual pages): the tests are built by "test", which also installs their
    # tools. A folder configured before keeps its choice of tests.
    run_options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
    if [ ! -f build/CMakeCache.txt ]; then
      run_options+=(-DAPDESK_TESTS=OFF -DAPDESK_BENCH=OFF)
    fi
    TARGETS="apdesk apctl apsim apdesk_install_files" configure_build build "${run_options[@]}"
    shift
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      exec "$ROOT/build/bin/apdesk" --simulate "$@"
    else
      echo "No display: showing the simulated controller's live telemetry (Ctrl+C ends)."
      exec "$ROOT/build/bin/apctl" --connect sim monitor "$@"
    fi
    ;;
  test)
    "$ROOT/scripts/install-deps.sh" --tests
    # Built to run the tests: no debug information in the optimised build,
    # line tables for the sanitizer's reports (a quarter of the compile time).
    configure_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAPDESK_TESTS=ON -DAPDESK_BENCH=ON \
      -DAPDESK_DEBUG_INFO=none
    run_ctest build
    configure_build build-asan -DCMAKE_BUILD_TYPE=Debug -DAPDESK_SANITIZE=ON -DAPDESK_BENCH=OFF \
      -DAPDESK_DEBUG_INFO=lines
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
      LSAN_OPTIONS=suppressions=$ROOT/tools/lsan.supp:print_suppressions=0 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      run_ctest build-asan
    configure_build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAPDESK_WITH_QT=OFF -DAPDESK_FUZZ=ON \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
    run_ctest build-fuzz
    test_windows
    ;;
  test-windows)
    "$ROOT/scripts/install-deps.sh" --tests
    test_windows
    ;;
  package)
    "$ROOT/scripts/install-deps.sh"
    # A folder of its own without tests and benchmarks: CPack builds the whole
    # folder before it installs, and the package needs only the programs.
    # Debian's hardening flags, as its own packages are built with (read on
    # the folder's first configure).
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
      CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
      LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
      configure_build build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAPDESK_TESTS=OFF -DAPDESK_BENCH=OFF
    rm -rf "$ROOT/build-package/deb"
    (cd "$ROOT/build-package" && cpack -B "$ROOT/build-package/deb")
    rm -f "$ROOT"/apdesk_*.deb  # one package here, so ./apdesk_*.deb names it
    cp "$ROOT"/build-package/deb/apdesk_*.deb "$ROOT/"
    ls "$ROOT"/apdesk_*.deb
    ;;
  *)
    echo "usage: $0 run|test|test-windows|package" >&2
    exit 2
    ;;
esac
