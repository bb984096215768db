#!/usr/bin/env bash
# Runs the chaos test of the webcam server for longer, in the sanitizer build.
# Usage: scripts/chaos.sh [minutes] (default 10). VANTREL_CHAOS_SEED=<seed> replays a run's clients.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
minutes="${1:-10}"
[[ "$minutes" =~ ^[0-9]+$ && "$minutes" -gt 0 ]] || { echo "usage: $0 [minutes]" >&2; exit 2; }

if [[ -f "$here/build/sanitize/build.ninja" ]]; then
  cmake --build "$here/build/sanitize" --target TestChaos >/dev/null
else
  "$here/scripts/build.sh" sanitize >/dev/null
fi
export QT_QPA_PLATFORM=offscreen
export VANTREL_CHAOS_SECONDS=$((minutes * 60))
# Qt Test stops a test function after 5 minutes unless told otherwise.
export QTEST_FUNCTION_TIMEOUT=$(((minutes * 60 + 300) * 1000))
export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
exec "$here/build/sanitize/tests/server/TestChaos"
