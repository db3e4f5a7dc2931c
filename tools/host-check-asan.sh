#!/usr/bin/env bash
# The Ardour check (tools/host-check.sh) with the VST3 and LV2 bundles built with
# AddressSanitizer and UndefinedBehaviorSanitizer (the build tools/sanitize.sh makes) and the
# sanitizer's runtime preloaded into Ardour, which then reports any invalid memory access in
# the process, the suite's or Ardour's own. Fails on a report in the suite's code.
#   tools/host-check-asan.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_ASAN:-build-asan}
JOBS=${JOBS:-2}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.ccache} CCACHE_BASEDIR=$PWD
[ -f "$BUILD/CMakeCache.txt" ] ||
  CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRANE_ASAN=ON -DVELTRANE_FUZZ=ON \
    -DVELTRANE_TESTS=ON -DVELTRANE_BENCH=OFF > /dev/null
plugins=(quorrel tonalith durafold revolva)
# The LV2 build runs a helper that loads the plug-in to write its description: leaks at its
# exit are not what this check looks for.
ASAN_OPTIONS=detect_leaks=0 cmake --build "$BUILD" -j"$JOBS" \
  --target $(for p in "${plugins[@]}"; do echo "${p}_VST3 ${p}_LV2"; done)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
mkdir -p "$prefix/lib/vst3" "$prefix/lib/lv2"
for p in "${plugins[@]}"; do
  artefacts=$(find "$BUILD/plugins/$p" -type d -name "${p}_artefacts" | head -1)
  cp -r "$(find "$artefacts" -type d -name "$p.vst3" | head -1)" "$prefix/lib/vst3/"
  cp -r "$(find "$artefacts" -type d -name "$p.lv2" | head -1)" "$prefix/lib/lv2/"
done
runtime=$(clang++ -print-file-name=libclang_rt.asan-x86_64.so)
[ -f "$runtime" ] || { echo "host check: no sanitizer runtime at $runtime"; exit 2; }
VELTRANE_HOST_PRELOAD=$runtime bash tools/host-check.sh "$prefix"
