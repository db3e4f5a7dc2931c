#!/usr/bin/env bash
# Builds the host validation and the suite's own bundles with ThreadSanitizer in build-tsan/
# and runs the threaded host tests (automation from another thread while audio runs).
#   tools/tsan.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_TSAN:-build-tsan}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.ccache} CCACHE_BASEDIR=$PWD
cmake -S . -B "$BUILD" -DVELTRANE_TSAN=ON -DVELTRANE_BENCH=OFF > /dev/null
cmake --build "$BUILD" --target host_validation -j"${JOBS:-2}"
ctest --test-dir "$BUILD" -R Threads --output-on-failure
