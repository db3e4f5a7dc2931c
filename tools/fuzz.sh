#!/usr/bin/env bash
# Builds the fuzz targets (clang's libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer,
# in the sanitizer build tools/sanitize.sh makes) and runs each for SECONDS (default 60) from
# its seed corpus (tools/fuzz-seeds.sh) and what earlier runs added to it. Fails when a target
# finds a crash, a leak, undefined behaviour or a hang; the input that shows it is left in
# build-asan/fuzz/artifacts/<target>/ (keep it under tests/fuzz/regressions/<target>/ once it
# is fixed: ctest and tools/sanitize.sh replay those).
#   tools/fuzz.sh [SECONDS] [TARGET...]     targets: soundfile state midi velrender
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(soundfile state midi velrender)
BUILD=${BUILD_ASAN:-build-asan}
JOBS=${JOBS:-2}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.ccache} CCACHE_BASEDIR=$PWD
command -v clang++ > /dev/null || { echo "fuzz: clang++ is needed (Debian: apt-get install clang libclang-rt-14-dev)"; exit 2; }
[ -f "$BUILD/CMakeCache.txt" ] ||
  CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRANE_ASAN=ON -DVELTRANE_FUZZ=ON \
    -DVELTRANE_TESTS=ON -DVELTRANE_BENCH=OFF > /dev/null
cmake --build "$BUILD" -j"$JOBS" --target velrender $(for t in "${targets[@]}"; do echo "${t}_fuzzer"; done)
out=$BUILD/fuzz
[ -d "$out/corpus" ] || bash tools/fuzz-seeds.sh "$out/corpus" "$BUILD/tools/velrender/velrender"
# Scratch files of the targets in memory where the machine offers it.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
status=0
for name in "${targets[@]}"; do
  mkdir -p "$out/corpus/$name" "$out/artifacts/$name"
  kept=()
  [ -d "tests/fuzz/regressions/$name" ] && kept=("tests/fuzz/regressions/$name")
  echo "fuzz: running $name for $seconds s"
  if ! UBSAN_OPTIONS=print_stacktrace=1 "$BUILD/tests/fuzz/${name}_fuzzer" "$out/corpus/$name" \
      "${kept[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$out/artifacts/$name/" > "$out/$name.log" 2>&1; then
    echo "fuzz: $name found a fault:"; tail -40 "$out/$name.log"; status=1
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|cov: [0-9]+" "$out/$name.log" | tail -3 | sed "s/^/fuzz: $name: /"
done
exit $status
