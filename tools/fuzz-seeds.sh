#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets into OUTDIR/<target>/: for the sound-file reader,
# a short tone in every container and encoding the reader and libsndfile accept (written by
# sox), each behind the byte that picks the extension it is identified by; for the state
# restore, the states of every plug-in as velrender saves them; MIDI event streams; command
# lines and MIDI files for the renderer.
#   tools/fuzz-seeds.sh OUTDIR VELRENDER
set -euo pipefail
out=${1:?usage: tools/fuzz-seeds.sh OUTDIR VELRENDER}
velrender=${2:?usage: tools/fuzz-seeds.sh OUTDIR VELRENDER}
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

# byte B: the byte B as a file's content, in octal for printf
byte() { printf "\\$(printf %03o "$1")"; }

# States: the plug-in's index in name order, then its state at construction and with its
# first and last parameters moved.
dir=$out/state
mkdir -p "$dir"
sox -n -r 48000 -c 2 -b 16 "$work/in.wav" synth 0.05 sine 440 2> /dev/null
index=0
for plugin in durafold quorrel revolva tonalith; do
  count=$("$velrender" "$plugin" --list | grep -c "^ *[0-9]")
  for settings in "" "--norm 0=0.9" "--norm $((count - 1))=0.1"; do
    # shellcheck disable=SC2086
    "$velrender" "$plugin" $settings --save-state "$work/state" "$work/in.wav" "$work/out.wav" > /dev/null
    { byte $index; cat "$work/state"; } > "$dir/$plugin$(echo "$settings" | tr -c 'a-z0-9' _)"
  done
  index=$((index + 1))
done
echo "fuzz seeds: $(ls "$dir" | wc -l) files in $dir"

# MIDI streams (revolva 0, tonalith 1): position, length - 1, bytes; 0xff ends a block.
dir=$out/midi
mkdir -p "$dir"
for index in 0 1; do
  { byte $index; printf '\012\002\220\074\144\100\002\340\000\120\120\001\076\144\377\000\002\200\074\000\377'; } \
    > "$dir/notes-bend-running-status-$index"
  { byte $index; printf '\000\002\260\173\000\020\000\370\030\004\360\001\002\003\367\377'; } > "$dir/system-$index"
done
echo "fuzz seeds: $(ls "$dir" | wc -l) files in $dir"

# The renderer: command lines (even first byte) and standard MIDI files (odd).
dir=$out/velrender
mkdir -p "$dir"
printf '\000tonalith\000--set\000pitch1=7\000--block\00064\000in.wav\000out.flac' > "$dir/options"
printf '\000revolva\000--layer-file\0002=a.wav\000--tempo\000120\000--tail\0001\000out.wav' > "$dir/options-layers"
printf '\001MThd\000\000\000\006\000\000\000\001\000\140MTrk\000\000\000\014'\
'\000\220\074\144\140\200\074\000\000\377\057\000' > "$dir/note.mid"
printf '\003MThd\000\000\000\006\000\001\000\001\000\140MTrk\000\000\000\026'\
'\000\220\074\144\060\076\144\020\340\000\120\140\200\074\000\000\076\000\000\377\057\000' > "$dir/running-status-bend.mid"
echo "fuzz seeds: $(ls "$dir" | wc -l) files in $dir"
