# Helpers for the shell tests that start the real program; sourced, not run.
# Every test gets a temporary folder, removed with whatever the test started.

test_folder="$(mktemp -d)"
program_pid=""

cleanup() {
  [[ -n "$program_pid" ]] && kill -KILL "$program_pid" 2>/dev/null
  rm -rf "$test_folder"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A port from 2000 to 9999 (the program's port box stops at 9999) that was free a moment ago.
free_server_port() { /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/../../scripts/free_port.py"; }

# Settings that start the server on the port.
server_settings() { printf '[FormMain]\nEnabled=1\nPort=%s\nRtspPort=0\n' "$1"; }

# Starts the program on the offscreen platform; its standard error goes to program.log.
start_program() {
  QT_QPA_PLATFORM=offscreen "$@" 2>"$test_folder/program.log" &
  program_pid=$!
}

# Ends the program as the desktop would; fails unless it ends cleanly.
stop_program() {
  kill -TERM "$program_pid"
  wait "$program_pid" || fail "the program ended with $?: $(cat "$test_folder/program.log")"
  program_pid=""
}

# Waits until the server on the port answers /pic.jpg with a JPEG picture.
expect_picture() {
  /usr/bin/python3 -c '
import sys, time, urllib.request
deadline = time.monotonic() + 30
while time.monotonic() < deadline:
    try:
        if urllib.request.urlopen(sys.argv[1], timeout=5).read().startswith(b"\xff\xd8"):
            sys.exit(0)
    except OSError:
        time.sleep(0.05)
sys.exit(1)' "http://127.0.0.1:$1/pic.jpg" || fail "no picture on port $1: $(cat "$test_folder/program.log")"
}
