#!/usr/bin/env bash
# Builds the suite, installs the plug-ins into ~/.vst3 and ~/.lv2 (and the programs into
# ~/.local/bin), and renders a demo input through each plug-in at a few characteristic
# settings into demo/, with a spectrogram PNG of the input and of every output.
#   tools/demo.sh [INPUT.wav]     (without INPUT a test signal is generated)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${BUILD:-build-release}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.ccache} CCACHE_BASEDIR=$PWD
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVELTRANE_TESTS=OFF -DVELTRANE_BENCH=OFF
cmake --build "$BUILD" -j"${JOBS:-2}"
STAGE=$(mktemp -d)
trap 'rm -rf "$STAGE"' EXIT
cmake --install "$BUILD" --prefix "$STAGE" > /dev/null
mkdir -p ~/.vst3 ~/.lv2 ~/.local/bin
for b in "$STAGE"/lib/vst3/*.vst3; do rm -rf ~/.vst3/"$(basename "$b")"; cp -r "$b" ~/.vst3/; done
for b in "$STAGE"/lib/lv2/*.lv2; do rm -rf ~/.lv2/"$(basename "$b")"; cp -r "$b" ~/.lv2/; done
cp "$STAGE"/bin/* ~/.local/bin/
echo "installed: $(ls ~/.vst3 | tr '\n' ' ')(VST3), $(ls ~/.lv2 | grep -c .) LV2 bundles, programs in ~/.local/bin"

R="$STAGE/bin/velrender"
OUT="$ROOT/demo"
mkdir -p "$OUT"
if [ $# -ge 1 ]; then
  sox "$1" -b 24 "$OUT/input.wav"
else
  "$R" quorrel --dry "$OUT/input.wav" # the generated test signal, unprocessed
fi
# One spectrogram per channel, left above right: a mono mix would cancel what the channels
# carry in opposite phase (the test signal's noise burst). Debian 12's sox refuses the title
# and comment options; the file name says what it shows.
spectrogram() { sox "$1" -n spectrogram -x 800 -y 257 -o "${1%.wav}.png"; }
spectrogram "$OUT/input.wav" "input"

render() { # plugin name options...
  local plugin=$1 name=$2; shift 2
  if "$R" "$plugin" --list > /dev/null 2>&1; then
    "$R" "$plugin" "$@" --tail 1 "$OUT/input.wav" "$OUT/$plugin-$name.wav"
    spectrogram "$OUT/$plugin-$name.wav" "$plugin $name"
    echo "rendered $plugin-$name"
  fi
}
render quorrel defaults
render quorrel phasenull --set phasenull=100
render quorrel bandshift --set bandshift=10
render quorrel scramble --set scramble=1
render tonalith fifth-up --set pitchshift=7 --set just=0
render tonalith octave-down --set octave=-1
render tonalith sinebank-fifth --set pitchshift=7 --norm 6=1
render durafold defaults
render durafold stretch4 --set stretch=4 --set wetdry=100
render durafold pvoc --set grainorpvoc=1 --set stretch=4 --set wetdry=100
render revolva layer-octave-down --layer-file 1="$OUT/input.wav" --set play1=1 --set pitch1=-12
render revolva layer-stretch --layer-file 1="$OUT/input.wav" --set play1=1 --set stretch=2
echo "demo files and spectrograms in $OUT"
