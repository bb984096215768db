#!/usr/bin/env bash
# Sets up, checks the format, builds and runs every test: once plainly, once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
# Usage: scripts/test.sh          every suite in both builds
#        scripts/test.sh --quick  the unit suites of the debug build only, for a change's inner loop
#        scripts/test.sh --tsan   the live, capture and server suites under ThreadSanitizer
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
quick=false
tsan=false
case "${1:-}" in
  --quick) quick=true ;;
  --tsan) tsan=true ;;
  "") ;;
  *) echo "usage: $0 [--quick|--tsan]" >&2; exit 2 ;;
esac

"$here/scripts/setup.sh"
"$here/scripts/check_format.sh"

export QT_QPA_PLATFORM=offscreen

# Two suites at a time: most of a suite's time is spent waiting on sockets, displays and
# processes. Each suite takes its own display and ports, so they do not meet.
run_suite() {
  local kind="$1"
  shift
  echo "== $kind build"
  "$here/scripts/build.sh" "$kind"
  echo "== $kind tests"
  ctest --test-dir "$here/build/$kind" --output-on-failure --parallel 2 "$@"
}

# The unit suites are small and mostly wait on the loop: four at a time.
if $quick; then
  echo "== debug build (unit suites)"
  "$here/scripts/build.sh" debug --unit-tests
  echo "== debug unit tests"
  ctest --test-dir "$here/build/debug" --output-on-failure --parallel 4 --label-regex '^unit$'
  exit
fi
# The threaded code under ThreadSanitizer: the unit suites of live/ and capture/, and the
# end-to-end rows of RTSP and WebRTC. GLib's and GStreamer's own locks are not seen by it
# (they are not built with it): tests/tsan.supp names those, each with its reason.
# A suite that starts a program forks with threads running; the child only execs.
if $tsan; then
  export TSAN_OPTIONS="suppressions=$here/tests/tsan.supp:second_deadlock_stack=1:halt_on_error=0:exitcode=66:die_after_fork=0"
  run_suite tsan --tests-regex '^(TestEncodedFeed|TestSound|TestGoLive|TestGstCapture|TestCameraPaths|TestServerEndToEnd)$'
  exit
fi
run_suite debug
run_suite sanitize
