#!/usr/bin/env bash
# Builds the engine, frame and processor tests (not the hosted ones) with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ and runs them; any report fails the run.
#   tools/sanitize.sh
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_ASAN:-build-asan}
JOBS=${JOBS:-2}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.ccache} CCACHE_BASEDIR=$PWD
targets=(engine_tests frame_tests typed_value_tests quorrel_tests tonalith_tests tonalith_portable_bank_tests
  durafold_tests revolva_tests soundfile_fuzz_replay)
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRANE_ASAN=ON -DVELTRANE_TESTS=ON -DVELTRANE_BENCH=OFF > /dev/null
cmake --build "$BUILD" -j"$JOBS" --target "${targets[@]}"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for t in "${targets[@]}"; do
  exe=$(find "$BUILD/tests" -type f -name "$t" -perm -u+x | head -1)
  [ -n "$exe" ] || { echo "sanitize: $t was not built"; status=1; continue; }
  args=()
  [ "$t" = soundfile_fuzz_replay ] && args=(tests/fuzz/regressions/soundfile)
  echo "sanitize: $t"
  if ! VELTRANE_BUILD_DIR=$PWD/$BUILD "$exe" "${args[@]}" > "$BUILD/$t.log" 2>&1; then
    echo "sanitize: $t failed:"; grep -E "ERROR|runtime error|FAILED|SUMMARY" "$BUILD/$t.log" | head -20; status=1
  fi
done
exit $status
