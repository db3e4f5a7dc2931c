#!/usr/bin/env bash
# Starts every installed standalone program of the suite on the test display, lets it run
# its window and editor for a few seconds and stops it: it must still be running then.
# Skips (77) without a display or an install prefix.
set -u
prefix=${VELTRANE_PLUGIN_PREFIX:-}
if [ -z "${DISPLAY:-}" ] || [ -z "$prefix" ] || [ ! -d "$prefix/bin" ]; then
  echo "skipped: needs DISPLAY and VELTRANE_PLUGIN_PREFIX"
  exit 77
fi
status=0
for name in "$@"; do
  program="$prefix/bin/$name"
  if [ ! -x "$program" ]; then
    echo "$name: not installed"
    status=1
    continue
  fi
  timeout -s TERM 3 "$program" > /dev/null 2>&1
  rc=$?
  if [ $rc -eq 124 ]; then
    echo "$name: ran its window for 3 s"
  else
    echo "$name: exited with status $rc before it was stopped"
    status=1
  fi
done
exit $status
