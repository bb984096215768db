#!/usr/bin/env bash
# Fails when a C++ file of the repository differs from what .clang-format makes of it.
# Usage: scripts/check_format.sh [--fix]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ "${1:-}" == "--fix" ]]; then
  clang-format-14 -i "${files[@]}"
  exit
fi
report="$(mktemp)"
trap 'rm -f "$report"' EXIT
if ! clang-format-14 --dry-run -Werror "${files[@]}" 2>"$report"; then
  grep -o '^[^:]*:[0-9]*' "$report" | sort -u | head -20 >&2
  echo "format: these lines differ from .clang-format; scripts/check_format.sh --fix mends them" >&2
  exit 1
fi
