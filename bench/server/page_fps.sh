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

build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON >/dev/null
cmake --build "$build" --target ServerBench >/dev/null

prepare_work
port="$(free_port)"
QT_QPA_PLATFORM=offscreen "$build/bench/server/ServerBench" "$port" >"$work/ours.log" 2>&1 &
pids+=($!)
wait_for_port "$port"
sleep 1

node "$root/tests/browser/stream.mjs" "http://127.0.0.1:$port/" --frames 1 --width 640 --height 480 \
  --seconds "$seconds" --screenshot "${SCREENSHOT:-$work/page.png}"
echo "(goal: at least 25 frames a second)"
