#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# into build-fuzz/ and runs each for SECONDS (default 60) from its seed corpus (tools/fuzz-seeds.sh)
# and what earlier runs added to it. Fails when a target finds a crash, a leak, undefined
# behaviour or a hang; the input that shows it is left in build-fuzz/artifacts/<target>/ (keep it
# under tests/fuzz/regressions/<target>/ once it is fixed: ctest replays those).
#   tools/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=${BUILD_FUZZ:-build-fuzz}
cxx=${CXX_FUZZ:-clang++}
command -v "$cxx" > /dev/null || { echo "fuzz: $cxx is needed (Debian: apt-get install clang libclang-rt-14-dev)"; exit 2; }
mkdir -p "$out"
flags=(-std=c++17 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)

# target NAME SOURCES... -- LINK FLAGS...
build() {
  local name=$1
  shift
  local sources=() link=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do sources+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  link=("$@")
  echo "fuzz: building $name"
  "$cxx" "${flags[@]}" -Iplugins/revolva "${sources[@]}" -o "$out/$name" "${link[@]}"
}
build soundfile tests/fuzz/SoundFileReaderFuzz.cpp plugins/revolva/VELSoundFile.cpp -- $(pkg-config --libs sndfile)

[ -d "$out/corpus/soundfile" ] || bash tools/fuzz-seeds.sh "$out/corpus"
# Scratch files of the targets in memory where the machine offers it.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
status=0
for name in soundfile; do
  mkdir -p "$out/corpus/$name" "$out/artifacts/$name"
  echo "fuzz: running $name for $seconds s"
  if ! UBSAN_OPTIONS=print_stacktrace=1 "$out/$name" "$out/corpus/$name" tests/fuzz/regressions/$name \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$out/artifacts/$name/" > "$out/$name.log" 2>&1; then
    echo "fuzz: $name found a fault:"; tail -40 "$out/$name.log"; status=1
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|cov: [0-9]+" "$out/$name.log" | tail -3 | sed "s/^/fuzz: $name: /"
done
exit $status
