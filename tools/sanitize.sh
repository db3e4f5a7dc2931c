#!/usr/bin/env bash
# Builds the engine, frame and processor tests (not the hosted ones) with clang's
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ and runs them; any report
# fails the run. The same build holds the fuzz targets (tools/fuzz.sh runs them), whose kept
# regression inputs are replayed here too.
#   tools/sanitize.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_ASAN:-build-asan}
JOBS=${JOBS:-2}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.ccache} CCACHE_BASEDIR=$PWD
command -v clang++ > /dev/null || { echo "sanitize: clang++ is needed (Debian: apt-get install clang libclang-rt-14-dev)"; exit 2; }
fuzz_targets=(soundfile state midi velrender)
tests=(engine_tests frame_tests typed_value_tests quorrel_tests tonalith_tests
  durafold_tests revolva_tests)
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRANE_ASAN=ON -DVELTRANE_FUZZ=ON \
  -DVELTRANE_TESTS=ON -DVELTRANE_BENCH=OFF > /dev/null
cmake --build "$BUILD" -j"$JOBS" --target "${tests[@]}" velrender \
  $(for t in "${fuzz_targets[@]}"; do echo "${t}_fuzz_replay ${t}_fuzzer"; done)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
run() {
  local name=$1 exe=$2
  shift 2
  echo "sanitize: $name"
  if ! VELTRANE_BUILD_DIR=$PWD/$BUILD "$exe" "$@" > "$BUILD/$name.log" 2>&1; then
    echo "sanitize: $name failed:"; grep -E "ERROR|runtime error|FAILED|SUMMARY" "$BUILD/$name.log" | head -20; status=1
  fi
}
for t in "${tests[@]}"; do
  exe=$(find "$BUILD/tests" -type f -name "$t" -perm -u+x | head -1)
  [ -n "$exe" ] || { echo "sanitize: $t was not built"; status=1; continue; }
  run "$t" "$exe"
done
for t in "${fuzz_targets[@]}"; do
  [ -d "tests/fuzz/regressions/$t" ] && run "${t}_fuzz_replay" "$BUILD/tests/fuzz/${t}_fuzz_replay" "tests/fuzz/regressions/$t"
done
exit $status
