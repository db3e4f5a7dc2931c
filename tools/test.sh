#!/usr/bin/env bash
# Builds everything, installs the bundles into a temporary prefix, and runs every test there
# (host validation loads the installed VST3 and LV2 bundles). Editors need a display for the
# hosted checks, so the tests run under a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-release}
JOBS=${JOBS:-2}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.ccache} CCACHE_BASEDIR=$PWD
# Tests and benchmarks on, whatever an earlier configuration of this folder (the demo's) chose.
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVELTRANE_TESTS=ON -DVELTRANE_BENCH=ON
cmake --build "$BUILD" -j"$JOBS"
PREFIX=$(mktemp -d)
# The tests run with a home folder of their own: LV2 hosts also scan ~/.lv2, and bundles a
# user installed there (tools/demo.sh does) would shadow the ones under test.
TESTHOME=$(mktemp -d)
trap 'rm -rf "$PREFIX" "$TESTHOME"' EXIT
cmake --install "$BUILD" --prefix "$PREFIX" > /dev/null
export VELTRANE_PLUGIN_PREFIX="$PREFIX"
# -noreset: the X server keeps its atoms between the many short test programs.
HOME="$TESTHOME" xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  ctest --test-dir "$BUILD" --output-on-failure --no-tests=error -j"$JOBS" --timeout 900
