#!/usr/bin/env bash
# Sets up, builds and runs every test: once plainly, once under AddressSanitizer
# and UndefinedBehaviorSanitizer.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen

run_suite() {
  local kind="$1"
  echo "== $kind build"
  "$here/scripts/build.sh" "$kind"
  echo "== $kind tests"
  ctest --test-dir "$here/build/$kind" --output-on-failure --timeout 300
}

run_suite debug
run_suite sanitize
