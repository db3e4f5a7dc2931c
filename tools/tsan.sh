#!/usr/bin/env bash
# Builds the host validation and the suite's own bundles with ThreadSanitizer in build-tsan/
# and runs every host validation test (automation from another thread while audio runs, the
# lifecycles and editors, state, latency) under it, with a virtual X server where there is
# one. Any report that tests/tsan.supp does not match fails its test.
#   tools/tsan.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_TSAN:-build-tsan}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.ccache} CCACHE_BASEDIR=$PWD
cmake -S . -B "$BUILD" -DVELTRANE_TSAN=ON -DVELTRANE_BENCH=OFF > /dev/null
cmake --build "$BUILD" --target host_validation -j"${JOBS:-2}"
# LV2 hosts scan ~/.lv2 too: a home of the run's own keeps installed copies out of it.
TESTHOME=$(mktemp -d)
trap 'rm -rf "$TESTHOME"' EXIT
run=(ctest --test-dir "$BUILD" -R HostValidation --output-on-failure -j"${JOBS:-2}")
if command -v xvfb-run > /dev/null; then
  HOME="$TESTHOME" xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "${run[@]}"
else
  HOME="$TESTHOME" "${run[@]}"
fi
