#!/usr/bin/env bash
# Frames a second that the index page shows in headless Chromium, over 10 s, with the whole
# program serving the 30 frames-a-second test pattern at 640x480.
# Needs node and tests/browser/node_modules (scripts/setup.sh). Usage: bench/server/page_fps.sh [seconds]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-10}"

# shellcheck source=../wrk_vs_nginx.sh
source "$here/../wrk_vs_nginx.sh"
need_tools node

# shellcheck source=start_program.sh
source "$here/start_program.sh"
prepare_work
start_program

node "$root/tests/browser/stream.mjs" "http://127.0.0.1:$port/" --frames 1 --width 640 --height 480 --keep-watching \
  --seconds "$seconds" --screenshot "${SCREENSHOT:-$work/page.png}"
echo "(goal: at least 25 frames a second)"
