#!/usr/bin/env bash
# The installed standalone programs on a JACK server (jackd's dummy driver, under a server
# name of its own): with fresh settings each registers its audio ports and passes audio;
# the automatic choice is not stored as if the user had made it; a remembered ALSA choice
# is kept although a server runs; a remembered JACK choice survives a start without one.
# Usage: standalone_jack.sh PROBE PLUGIN...   Skips (77) without a display, an install
# prefix or jackd.
set -u
probe=$1
shift
prefix=${VELTRANE_PLUGIN_PREFIX:-}
if [ -z "${DISPLAY:-}" ] || [ -z "$prefix" ] || [ ! -d "$prefix/bin" ] || ! command -v jackd > /dev/null; then
  echo "skipped: needs DISPLAY, VELTRANE_PLUGIN_PREFIX and jackd (Debian jackd2)"
  exit 77
fi

work=$(mktemp -d)
jackpid=
cleanup() {
  [ -n "$jackpid" ] && kill "$jackpid" 2> /dev/null && wait "$jackpid" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

export JACK_DEFAULT_SERVER=veltrane-test-$$
start_jack() {
  jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 512 > "$work/jackd.log" 2>&1 &
  jackpid=$!
  for _ in $(seq 50); do
    jack_lsp > /dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "jackd did not start:"; cat "$work/jackd.log"
  exit 1
}
stop_jack() {
  kill "$jackpid"; wait "$jackpid" 2> /dev/null; jackpid=
}

# run NAME HOME: starts the program with that home folder; its pid in $program
run() {
  HOME=$2 "$prefix/bin/$1" > "$work/$1.log" 2>&1 &
  program=$!
}
# quit: asks the program to quit as Ctrl-C would, so it stores its settings
quit() {
  kill -INT "$program" 2> /dev/null
  for _ in $(seq 50); do
    kill -0 "$program" 2> /dev/null || break
    sleep 0.1
  done
  if kill -0 "$program" 2> /dev/null; then
    echo "$1: did not quit"; kill -KILL "$program"; status=1
  fi
  wait "$program" 2> /dev/null
}
settings_of() { echo "$2/.config/++$1.settings"; }

status=0
start_jack
for name in "$@"; do
  if [ ! -x "$prefix/bin/$name" ]; then
    echo "$name: not installed"; status=1; continue
  fi
  params=()
  # revolva passes on what it records: layer 1 records the input and plays.
  [ "$name" = revolva ] && params=(record1=1 play1=1)

  home="$work/$name-fresh"
  "$probe" settings "$name" "$(settings_of "$name" "$home")" "${params[@]}" || { status=1; continue; }
  run "$name" "$home"
  "$probe" listen "$name" 4 || { echo "$name: no audio through JACK"; status=1; }
  quit "$name"
  if grep -q 'name="audioSetup"' "$(settings_of "$name" "$home")"; then
    echo "$name: stored the automatic choice as the user's"; status=1
  fi

  home="$work/$name-alsa"
  "$probe" settings "$name" "$(settings_of "$name" "$home")" --audio ALSA || { status=1; continue; }
  run "$name" "$home"
  if "$probe" ports "$name" 3 > /dev/null; then
    echo "$name: used JACK although the user chose ALSA"; status=1
  else
    echo "$name: kept the user's ALSA choice"
  fi
  quit "$name"
  grep -q 'deviceType="ALSA"' "$(settings_of "$name" "$home")" || { echo "$name: lost the ALSA choice"; status=1; }
done

# A remembered JACK choice while no server runs: the program runs (on ALSA) and the choice stays.
stop_jack
for name in "$@"; do
  home="$work/$name-nojack"
  "$probe" settings "$name" "$(settings_of "$name" "$home")" --audio JACK || { status=1; continue; }
  run "$name" "$home"
  sleep 3
  if ! kill -0 "$program" 2> /dev/null; then
    echo "$name: exited without a JACK server"; status=1; continue
  fi
  quit "$name"
  if grep -q 'deviceType="JACK"' "$(settings_of "$name" "$home")"; then
    echo "$name: ran without a JACK server and kept the JACK choice"
  else
    echo "$name: lost the JACK choice"; status=1
  fi
done
exit $status
