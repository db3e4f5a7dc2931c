#!/usr/bin/env bash
# Runs the installed bundles in Ardour 7, headless (ardour7-lua on the "None (Dummy)"
# backend), as a user would: for each plug-in and format, scan, insert on a stereo track
# holding recorded noise, set "outgain", export, automate it, save; then reopen every
# session in a fresh Ardour, read the value back and export again. Prints a table and
# fails on a result that differs from what this suite's README states.
#
#   tools/host-check.sh [PREFIX]   PREFIX holds lib/vst3 and lib/lv2 (default: the
#                                  VELTRANE_PLUGIN_PREFIX variable, else ~/.vst3 and ~/.lv2)
# Skipped (exit 0, or 77 with VELTRANE_SKIP_STATUS=77) where Ardour 7 is not installed.
# With VELTRANE_HOST_PRELOAD naming a sanitizer runtime, Ardour runs
# with it preloaded, for bundles built with AddressSanitizer; its reports are listed at the end.
set -u
here=$(cd "$(dirname "$0")" && pwd)
skip=${VELTRANE_SKIP_STATUS:-0}
if ! command -v ardour7-lua > /dev/null || [ ! -x /usr/lib/ardour7/ardour-vst3-scanner ]; then
  echo "host check skipped: Ardour 7 is not installed (Debian: apt-get install ardour)"
  exit "$skip"
fi
if ! command -v sox > /dev/null; then
  echo "host check skipped: sox is not installed"
  exit "$skip"
fi

prefix=${1:-${VELTRANE_PLUGIN_PREFIX:-}}
if [ -n "$prefix" ]; then
  vst3=$prefix/lib/vst3 lv2=$prefix/lib/lv2
else
  vst3=$HOME/.vst3 lv2=$HOME/.lv2
fi
if ! ls -d "$vst3"/*.vst3 "$lv2"/*.lv2 > /dev/null 2>&1; then
  echo "host check: no bundles in $vst3 and $lv2 (install them first: tools/demo.sh or cmake --install)"
  [ "$skip" = 77 ] && exit 77
  exit 2
fi
plugins=(quorrel tonalith durafold revolva)
parameter=outgain value=0.625 # +5 dB

work=$(mktemp -d)
[ -n "${VELTRANE_KEEP_HOST_CHECK:-}" ] && echo "work folder: $work"
trap '[ -n "${VELTRANE_KEEP_HOST_CHECK:-}" ] || rm -rf "$work"' EXIT
# Ardour with a home of its own: the dummy backend shown, only these VST3 bundles scanned,
# and an export format of float samples without dither, so two exports can be compared.
home=$work/home
mkdir -p "$home/.config/ardour7/export"
cat > "$home/.config/ardour7/config" << CONFIG
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="plugin-path-vst3" value="$vst3"/>
  </Config>
</Ardour>
CONFIG
sed -e 's/name="[^"]*" id="[^"]*"/name="Float check" id="6a0c5a8e-3f1e-4d6b-9a55-1c0e7b2f9a01"/' \
    -e 's/SF_16/SF_Float/' -e 's/D_Shaped/D_None/' -e 's/analyse="1"/analyse="0"/' \
    -e 's/name="tag-\(metadata\|support\)" value="true"/name="tag-\1" value="false"/' \
    "/usr/share/ardour7/export/WAV (tagged).format" > "$home/.config/ardour7/export/float-check.format"
cat > "$home/.config/ardour7/export/float-check.preset" << PRESET
<?xml version="1.0" encoding="UTF-8"?>
<ExportPreset id="6a0c5a8e-3f1e-4d6b-9a55-1c0e7b2f9a02" name="Float check">
  <ExportFormat id="6a0c5a8e-3f1e-4d6b-9a55-1c0e7b2f9a01"/>
  <ExportFilename>
    <Folder relative="1" path="export"/>
    <Field name="timespan" enabled="1"/>
  </ExportFilename>
</ExportPreset>
PRESET

started=$(date +%s)
preload=()
if [ -n "${VELTRANE_HOST_PRELOAD:-}" ]; then
  preload=(env "LD_PRELOAD=$VELTRANE_HOST_PRELOAD")
  mkdir -p "$work/asan"
  # Ardour's own leaks at exit are not this check's business; every other report is.
  export ASAN_OPTIONS="detect_leaks=0:log_path=$work/asan/report:${ASAN_OPTIONS:-}"
fi
declare -A result
cases=""
for name in "${plugins[@]}"; do
  # Scan: Ardour's own VST3 scanner writes its cache; LV2 is found through lilv.
  if [ -d "$vst3/$name.vst3" ] && HOME=$home LD_LIBRARY_PATH=/usr/lib/ardour7 \
       "${preload[@]}" /usr/lib/ardour7/ardour-vst3-scanner "$vst3/$name.vst3" 2>&1 | grep -q "Found Plugin: ++$name"; then
    result[$name,VST3,scan]=yes
    cases+="$name VST3 ++$name $parameter $value;"
  else
    result[$name,VST3,scan]=no
  fi
  if [ -f "$lv2/$name.lv2/manifest.ttl" ]; then
    cases+="$name LV2 https://veltrane.invalid/plugins/$name $parameter $value;"
  fi
done

# Ardour 7.3's headless tool corrupts its own heap in some of its exports (seen with its own
# plug-ins too: the damage surfaces when an export's port channels are freed), and then dies
# by a signal. Each case runs in a process of its own, and a case whose Ardour died by a
# signal runs again from the start of its step, a few times; every such crash is counted.
attempts=8
run_lua() { # script case
  local log=$work/$1.$(echo "$2" | cut -d' ' -f1,2 | tr ' ' -).log rc=0
  for ((a = 1; a <= attempts; a++)); do
    [ "$1" = build-sessions.lua ] && rm -rf "$work/sessions/$(echo "$2" | awk '{ print $1 "-" $2 }')"
    HOME=$home LV2_PATH=$lv2 HC_ROOT=$work/sessions HC_LUA=$here/host-check HC_CASES="$2" \
      timeout 900 "${preload[@]}" ardour7-lua "$here/host-check/$1" > "$log" 2>&1
    rc=$?
    [ "$rc" -gt 128 ] && [ "$rc" -lt 160 ] || break
    echo "host check: Ardour died by signal $((rc - 128)) in $1 for ${2%%;*} (attempt $a)" | tee -a "$work/crashes" >&2
  done
  grep '^HC|' "$log" | while IFS='|' read -r _ n f k v; do echo "$n|$f|$k|$v"; done
}
IFS=';' read -r -a case_list <<< "$cases"
for script in build-sessions.lua reopen-sessions.lua; do
  for c in "${case_list[@]}"; do
    [ -n "$c" ] || continue
    while IFS='|' read -r n f k v; do result[$n,$f,$k]=$v; done < <(run_lua "$script" "$c;")
  done
done

# rms FILE: RMS amplitude of a WAVE file; diff A B: RMS of the difference
rms() { sox "$1" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }'; }
diffrms() { sox -m "$1" -v -1 "$2" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }'; }
db() { awk -v a="$1" -v b="$2" 'BEGIN { if (a <= 0 || b <= 0) print "-inf"; else printf "%.1f", 20 * log(a / b) / log(10) }'; }

status=0
fail() { echo "FAILED: $*"; status=1; }
printf '%-9s %-5s %-5s %-8s %-8s %-14s %-18s %-10s %-16s %s\n' plug-in format scan process latency recall "value (set/back)" control "tempo followed" automatable
for name in "${plugins[@]}"; do
  for format in VST3 LV2; do
    get() { echo "${result[$name,$format,$1]:-}"; }
    out=$work/sessions/$name-$format/out
    scan=$(get scan)
    [ "$format" = LV2 ] && scan=$( [ "$(get found)" = true ] && echo yes || echo no )
    [ "$scan" = yes ] || fail "$name $format: not found by Ardour"
    [ "$(get inserted)" = true ] || fail "$name $format: not inserted"

    first=$out/first.wav second=$out/second.wav
    process=no
    if [ -f "$first" ]; then
      level=$(rms "$first")
      if [ "$name" = revolva ]; then
        # Empty layers are silent; what it records it plays.
        [ "$level" = 0.000000 ] && [ -f "$out/recording.wav" ] && \
          awk -v r="$(rms "$out/recording.wav")" 'BEGIN { exit !(r > 0.001) }' && process=yes
      else
        awk -v r="$level" 'BEGIN { exit !(r > 0.001) }' && process=yes
      fi
    fi
    [ "$process" = yes ] || fail "$name $format: no sound processed"

    recall=no
    if [ -f "$first" ] && [ -f "$second" ]; then
      d=$(diffrms "$first" "$second") l=$(rms "$first") l2=$(rms "$second")
      if [ "$name" = durafold ]; then
        # Its voices restart on their own clock, so two runs differ in detail: the same
        # level (a lost "outgain" would change it by 2 dB) is what can be compared.
        level=$(db "$l2" "$l")
        awk -v c="$level" 'BEGIN { exit !(c != "-inf" && c > -0.3 && c < 0.3) }' && recall="yes (${level} dB)"
      else
        # The same sound: the difference at least 60 dB below the export (or both silent).
        if awk -v d="$d" -v l="$l" 'BEGIN { exit !(d <= l * 0.001) }'; then
          if [ "$l" = 0.000000 ]; then recall="yes (silent)"
          elif [ "$d" = 0.000000 ]; then recall="yes (same)"
          else recall="yes ($(db "$d" "$l") dB)"; fi
        fi
      fi
    fi
    [ "$recall" = no ] && fail "$name $format: the reopened session sounds different"

    latency="$(get latency)"
    [ "$latency" = "$(get latency-reopened)" ] || fail "$name $format: latency changed on reopening"
    [ "$latency" = "${result[$name,VST3,latency]:-}" ] || fail "$name: LV2 and VST3 report different latencies"

    set=$(get value-set) back=$(get value-reopened)
    seen=no
    awk -v a="$back" -v b="$value" 'BEGIN { exit !(a - b < 1e-4 && b - a < 1e-4) }' && seen=yes
    # Ardour 7 keeps LV2 property values it is sent without showing them on its controls.
    if [ "$format" = VST3 ] && [ "$seen" != yes ]; then fail "$name VST3: the host reads $back after reopening"; fi

    # The value the host reads for a parameter the plug-in follows from the host tempo (90 bpm).
    tempo=-
    case $name in
      durafold) expected=0.646241 ;; # rate: (log10(90 / 60) + 0.60206) x 0.830482
      revolva) expected=0.396241 ;;  # bpm: (log2(90) - 4.9068904) x 0.25
      *) expected= ;;
    esac
    if [ -n "$expected" ]; then
      followed=$(get followed-at-90)
      if awk -v a="$followed" -v b="$expected" 'BEGIN { exit !(a != "" && a - b < 1e-4 && b - a < 1e-4) }'; then
        tempo="yes ($(printf %.4f "$followed"))"
      else
        tempo="no (${followed:-none})"
        [ "$format" = VST3 ] && fail "$name VST3: the host reads ${followed:-nothing} for the followed tempo"
      fi
    fi

    automatable=no
    if [ "$(get lane)" = true ] && [ -f "$out/automated.wav" ]; then
      if [ "$name" = revolva ]; then
        automatable="lane"
      else
        change=$(db "$(rms "$out/automated.wav")" "$(rms "$first")")
        awk -v c="$change" 'BEGIN { exit !(c != "-inf" && (c < -3 || c > 3)) }' && automatable="yes (${change} dB)"
      fi
    fi
    [ "$automatable" = no ] && fail "$name $format: the automation lane changes nothing"

    printf '%-9s %-5s %-5s %-8s %-8s %-14s %-18s %-10s %-16s %s\n' "$name" "$format" "$scan" "$process" "$latency" "$recall" \
      "$set/$back ($seen)" "$(get control)" "$tempo" "$automatable"
  done
done
if [ -n "${VELTRANE_HOST_PRELOAD:-}" ]; then
  tree=$(cd "$here/.." && pwd)
  # A report is the suite's when the first stack of the error runs through one of its bundles.
  for r in "$work"/asan/report.*; do
    [ -f "$r" ] || continue
    first_stack=$(awk '/^ *#[0-9]/ { print; seen = 1; next } seen { exit }' "$r")
    # (symbolized frames name the source file: the tree's own, or JUCE's, which only the suite brings)
    if echo "$first_stack" | grep -qE "/(quorrel|tonalith|durafold|revolva)\.(vst3|lv2)/|$tree/(engine|frame|gui|plugins|adapters)/|/juce/modules/"; then
      owner=suite
    else
      owner=host
    fi
    echo "host check: sanitizer report ($owner): $(grep -m1 "^SUMMARY" "$r")"
    echo "$first_stack" | head -8 | sed 's/^/    /'
    [ "$owner" = suite ] && fail "a sanitizer report in the suite's code ($r)"
    [ -n "${VELTRANE_HOST_REPORTS:-}" ] && mkdir -p "$VELTRANE_HOST_REPORTS" && cp "$r" "$VELTRANE_HOST_REPORTS/"
  done
  echo "host check: sanitizer reports: $(ls "$work"/asan 2> /dev/null | wc -l)"
fi
echo "host check: Ardour $(ardour7-lua --version 2>/dev/null | head -1 | awk '{print $1}'), $(( $(date +%s) - started )) s, Ardour crashes retried: $(cat "$work/crashes" 2> /dev/null | wc -l)"
exit $status
