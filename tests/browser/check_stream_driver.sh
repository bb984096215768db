#!/usr/bin/env bash
# Tries stream.mjs against stub_server.py: once with HTTP/1.0 answers, once with bare
# bodies through --bare-http. Exits non-zero if either run does not stream.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
stub_pid=""

stop_stub() {
  if [[ -n "$stub_pid" ]]; then
    kill "$stub_pid" 2>/dev/null || true
    wait "$stub_pid" 2>/dev/null || true
    stub_pid=""
  fi
}
trap 'stop_stub; rm -rf "$work"' EXIT

# Sets stub_pid and port (not run in a subshell, so that stop_stub knows the stub).
start_stub() {
  /usr/bin/python3 "$here/stub_server.py" --frames 12 "$@" >"$work/stub.out" 2>&1 &
  stub_pid=$!
  for _ in $(seq 100); do
    grep -q '^PORT ' "$work/stub.out" && break
    sleep 0.1
  done
  port="$(awk '/^PORT /{print $2}' "$work/stub.out")"
  [[ -n "$port" ]] || { cat "$work/stub.out" >&2; exit 1; }
}

start_stub
node "$here/stream.mjs" "http://127.0.0.1:$port/" --frames 12 --seconds 3 --screenshot "$work/page.png"
stop_stub

start_stub --bare
node "$here/stream.mjs" "http://127.0.0.1:$port/" --frames 12 --seconds 3 --bare-http
stop_stub
echo "stream driver: ok"
