#!/usr/bin/env bash
# WebRTC in headless Chromium: 1 and 5 viewers of the live page (one browser, one page each)
# for the given seconds (20 by default), the program's test pattern at 640x480, 30 frames a
# second, with its capture time drawn into each frame. Each row: frames a second each viewer
# decoded (lowest), the capture-to-browser delay read back from the pictures (p50, p95,
# largest), and the program's CPU (percent of one core, over the whole run with the browser's
# start). The 5-viewer run has an RTSP player
# and an MJPEG viewer beside it, and says how many encoders ran for all of them.
# Needs node (scripts/setup.sh) and ffmpeg. Usage: bench/live/webrtc.sh [seconds]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-20}"

# shellcheck source=../wrk_vs_nginx.sh
source "$here/../wrk_vs_nginx.sh"
prepare_work

build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON >/dev/null
cmake --build "$build" --target ServerBench >/dev/null

port="$(free_port)"
rtsp="$(free_port)"
QT_QPA_PLATFORM=offscreen "$build/bench/server/ServerBench" "$port" "$rtsp" stamp >"$work/ours.log" 2>&1 &
pids+=($!)
ours_pid=$!
wait_for_port "$port"
sleep 3 # the stamps go in two seconds after the start

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
state() { curl -s "http://127.0.0.1:$port/state"; }

run() {
  local viewers="$1" hz before after t0 t1
  hz="$(getconf CLK_TCK)"
  before="$(ticks "$ours_pid")"
  t0="$(date +%s%N)"
  node "$root/tests/browser/live.mjs" "http://127.0.0.1:$port" --viewers "$viewers" --seconds "$seconds" \
    --stamped >"$work/live.json"
  after="$(ticks "$ours_pid")"
  t1="$(date +%s%N)"
  python3 - "$work/live.json" "$viewers" "$(((after - before) * 100 * 1000000000 / hz / (t1 - t0)))" <<'PY'
import json, statistics, sys
result = json.load(open(sys.argv[1]))
delays = [d for d in result["delayMs"] if 0 <= d < 10000]  # a misread stamp is no delay
q = statistics.quantiles(delays, n=100)
modes = {v["mode"] for v in result["viewers"]}
print(f"webrtc {sys.argv[2]} viewers: fps min {min(v['fps'] for v in result['viewers']):5.1f}  "
      f"delay p50 {q[49]:.0f} ms p95 {q[94]:.0f} ms max {max(delays):.0f} ms ({len(delays)} frames)  "
      f"modes {','.join(sorted(modes))}  cpu {sys.argv[3]}% (browsers starting included)")
PY
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
run 1
# Every kind of viewer at once: the RTSP player and the MJPEG viewer run beside the browsers.
timeout $((seconds + 40)) ffmpeg -nostdin -v error -rtsp_transport tcp -i "rtsp://127.0.0.1:$rtsp/live" -c copy \
  -f null - >"$work/rtsp.log" 2>&1 &
pids+=($!)
timeout $((seconds + 40)) curl -s -o /dev/null "http://127.0.0.1:$port/stream.mjpg" &
pids+=($!)
started_before="$(state | python3 -c 'import json,sys; print(json.load(sys.stdin)["encoder"]["started"])')"
run 5 &
runner=$!
sleep $((seconds / 2 + 5))
echo "all at once: $(state | python3 -c 'import json,sys; s=json.load(sys.stdin); print("viewers", s["viewers"], "encoder", s["encoder"])')"
wait "$runner"
echo "encoders started during the 5-viewer run: $(($(state | python3 -c 'import json,sys; print(json.load(sys.stdin)["encoder"]["started"])') - started_before))"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
