#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets into OUTDIR/<target>/: for the sound-file reader,
# a short tone in every container and encoding the reader and libsndfile accept (written by
# sox), each behind the byte that picks the extension it is identified by.
#   tools/fuzz-seeds.sh OUTDIR
set -euo pipefail
out=${1:?usage: tools/fuzz-seeds.sh OUTDIR}
command -v sox > /dev/null || { echo "fuzz seeds: sox is needed (Debian: apt-get install sox)"; exit 2; }
dir=$out/soundfile
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# seed NAME EXTENSION_INDEX SOX_OUTPUT_OPTIONS... (index: 0 .wav, 1 .aif, 2 .aifc, 3 .snd, 4 .au, 5 none)
seed() {
  local name=$1 index=$2
  shift 2
  sox -n -r 8000 -c 2 "$@" "$work/$name" synth 0.05 sine 440 2> /dev/null || return 0
  { printf "\\$(printf %03o "$index")"; cat "$work/$name"; } > "$dir/$name"
}
for bits in 8 16 24 32; do
  seed "int$bits.wav" 0 -e signed-integer -b "$bits" -t wav
  seed "int$bits.aif" 1 -e signed-integer -b "$bits" -t aiff
  seed "int$bits.aifc" 2 -e signed-integer -b "$bits" -t aifc
  seed "int$bits.au" 4 -e signed-integer -b "$bits" -t au
  seed "int$bits.snd" 3 -e signed-integer -b "$bits" -t au
done
seed uint8.wav 0 -e unsigned-integer -b 8 -t wav
seed float32.wav 0 -e floating-point -b 32 -t wav
seed float32.aifc 2 -e floating-point -b 32 -t aifc
seed float32.au 4 -e floating-point -b 32 -t au
seed mulaw.wav 0 -e mu-law -t wav
seed alaw.au 4 -e a-law -t au
seed imaadpcm.wav 0 -e ima-adpcm -t wav
seed int16.wav-noext 5 -e signed-integer -b 16 -t wav
seed int16.flac 5 -b 16 -t flac
seed vorbis.ogg 5 -t ogg
echo "fuzz seeds: $(ls "$dir" | wc -l) files in $dir"
