#!/usr/bin/env bash
# The suite's VST3 and LV2 bundles built with AddressSanitizer and UndefinedBehaviorSanitizer
# (clang, VELTRANE_ASAN_BUNDLES: the sanitizer runtime linked shared) and hosted by JUCE's VST3
# and LV2 hosts: the host validation and load tests of the same build, under a virtual X
# server. Any sanitizer report fails it.
#   tools/host-check-asan.sh        (build folder: build-asan-bundles, or BUILD_ASAN_BUNDLES)
# Ardour 7.3's headless tool cannot take part: with a sanitizer runtime preloaded it hangs in
# glibc's gettext lock while it starts (ARDOUR::init), before it loads any plug-in.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_ASAN_BUNDLES:-build-asan-bundles}
JOBS=${JOBS:-2}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.ccache} CCACHE_BASEDIR=$PWD
command -v clang++ > /dev/null || { echo "host check: clang++ is needed (Debian: apt-get install clang)"; exit 2; }
[ -f "$BUILD/CMakeCache.txt" ] ||
  CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRANE_ASAN=ON \
    -DVELTRANE_ASAN_BUNDLES=ON -DVELTRANE_TESTS=ON -DVELTRANE_BENCH=OFF > /dev/null
# The LV2 build runs a helper that loads the plug-in to write its description; its exit is
# checked for leaks below, with the hosts, not here.
ASAN_OPTIONS=detect_leaks=0 cmake --build "$BUILD" -j"$JOBS" --target host_validation host_tests
# The tests host the build's own bundles (no VELTRANE_PLUGIN_PREFIX), in a home of their own.
testhome=$(mktemp -d)
trap 'rm -rf "$testhome"' EXIT
unset VELTRANE_PLUGIN_PREFIX
HOME="$testhome" UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS="suppressions=$PWD/tests/lsan-host.supp" xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  ctest --test-dir "$BUILD" -R "HostValidation|HostLoad" --output-on-failure --no-tests=error --timeout 1800
