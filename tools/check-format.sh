#!/usr/bin/env bash
# Fails when a C++ source of the tree differs from what .clang-format makes of it; with --fix
# rewrites them. Skipped (exit 77, or 0 with VELTRANE_SKIP_STATUS=0) where clang-format is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format > /dev/null; then
  echo "format check skipped: clang-format is not installed (Debian: apt-get install clang-format)"
  exit "${VELTRANE_SKIP_STATUS:-77}"
fi
if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h')
else
  mapfile -t files < <(find adapters bench engine frame gui plugins tests tools -name '*.cpp' -o -name '*.h')
fi
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run -Werror "${files[@]}" 2> "${TMPDIR:-/tmp}/veltrane-format.$$"; then
  grep -o '^[^:]*\.\(cpp\|h\)' "${TMPDIR:-/tmp}/veltrane-format.$$" | sort -u | sed 's/^/not formatted: /'
  rm -f "${TMPDIR:-/tmp}/veltrane-format.$$"
  echo "run tools/check-format.sh --fix"
  exit 1
fi
rm -f "${TMPDIR:-/tmp}/veltrane-format.$$"
echo "format check: ${#files[@]} files as .clang-format has them"
