#!/usr/bin/env bash
# H.264 over RTSP with 1, 10 and 50 clients (ffmpeg over TCP, copying to nothing): the whole
# program (test pattern at 640x480, 30 frames a second, one shared encoder) against a plain
# gst-rtsp-server peer that encodes its own moving test pattern of the same size and rate with
# the program's own encoder settings (x264enc superfast, zerolatency, no B-frames, a key frame
# every 45, 2000 kbit/s, constrained baseline) for all its clients (shared media), for the
# given seconds each
# (20 by default). Each row: frames a second per client (lowest and median) and the server's
# CPU (percent of one core); for the program also the encoders started during the run.
# Then the MJPEG stream's capture-to-client delay from its X-Timestamp headers.
# Needs ffmpeg. Usage: bench/live/rtsp.sh [seconds]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-20}"

# shellcheck source=../wrk_vs_nginx.sh
source "$here/../wrk_vs_nginx.sh"
command -v ffmpeg >/dev/null || { echo "this benchmark needs ffmpeg" >&2; exit 1; }
prepare_work

build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON >/dev/null
cmake --build "$build" --target ServerBench RtspPeer >/dev/null

port="$(free_port)"
ours_rtsp="$(free_port)"
QT_QPA_PLATFORM=offscreen "$build/bench/server/ServerBench" "$port" "$ours_rtsp" >"$work/ours.log" 2>&1 &
pids+=($!)
ours_pid=$!
peer_rtsp="$(free_port)"
peer_launch="( videotestsrc is-live=true horizontal-speed=2 ! video/x-raw,width=640,height=480,framerate=30/1 \
! x264enc tune=zerolatency speed-preset=superfast bframes=0 key-int-max=45 bitrate=2000 \
! video/x-h264,profile=constrained-baseline ! rtph264pay name=pay0 pt=96 )"
echo "peer: RtspPeer $peer_rtsp \"$peer_launch\""
"$build/bench/live/RtspPeer" "$peer_rtsp" "$peer_launch" >"$work/peer.log" 2>&1 &
pids+=($!)
peer_pid=$!
wait_for_port "$port"
wait_for_port "$ours_rtsp"
wait_for_port "$peer_rtsp"

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
started() { curl -s "http://127.0.0.1:$port/state" | python3 -c 'import json,sys; print(json.load(sys.stdin)["encoder"]["started"])'; }
last_frame() { grep -o 'frame=[0-9]*' "$1" 2>/dev/null | tail -1 | cut -d= -f2 || true; }

run() {
  local name="$1" pid="$2" url="$3" clients="$4" hz before after s0 s1 client
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "$name $clients clients: not running any more; its last words: $(tail -3 "$work/$name.log" | tr '\n' ' ')"
    return
  fi
  hz="$(getconf CLK_TCK)"
  s0="$(started)"
  local players=()
  for ((client = 0; client < clients; client++)); do
    timeout $((seconds + 6)) ffmpeg -nostdin -v error -rtsp_transport tcp -i "$url" -c copy -f null - \
      -progress "$work/progress.$client" >"$work/player.$client.log" 2>&1 &
    players+=($!)
  done
  sleep 4 # connected, and past the first key frame
  local first=() last=()
  for ((client = 0; client < clients; client++)); do first+=("$(last_frame "$work/progress.$client")"); done
  before="$(ticks "$pid")"
  sleep "$seconds"
  after="$(ticks "$pid")"
  for ((client = 0; client < clients; client++)); do last+=("$(last_frame "$work/progress.$client")"); done
  for player in "${players[@]}"; do wait "$player" 2>/dev/null || true; done
  s1="$(started)"
  local rates
  rates="$(for ((client = 0; client < clients; client++)); do
    echo "scale=1; (${last[client]:-0} - ${first[client]:-0}) / $seconds" | bc
  done | sort -n)"
  local extra=""
  [[ "$name" == ours ]] && extra="  encoders started $((s1 - s0))"
  printf '%-5s %3d clients: fps min %5s median %5s  cpu %3d%%  errors %d%s\n' "$name" "$clients" \
    "$(head -1 <<<"$rates")" "$(sed -n "$(((clients + 1) / 2))p" <<<"$rates")" \
    $(((after - before) * 100 / hz / seconds)) "$(cat "$work"/player.*.log | grep -vc '^$' || true)" "$extra"
  rm -f "$work"/progress.* "$work"/player.*.log
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
# What the program costs with nobody watching (capture, preview, statistics): its share beyond
# the encoding that the peer does too.
idle_before="$(ticks "$ours_pid")"
sleep "$seconds"
echo "ours    0 clients: cpu $((($(ticks "$ours_pid") - idle_before) * 100 / $(getconf CLK_TCK) / seconds))% (no encoder running)"
for clients in 1 10 50; do
  run ours "$ours_pid" "rtsp://127.0.0.1:$ours_rtsp/live" "$clients"
  run peer "$peer_pid" "rtsp://127.0.0.1:$peer_rtsp/live" "$clients"
done
echo "mjpeg 1 viewer: $(python3 "$here/mjpeg_latency.py" "$port" "$seconds")"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "(goals: every client at least 29 fps; ours' CPU no more than the peer's; one encoder start per run;"
echo " MJPEG delay p95 within one frame interval (33 ms) + 10 ms)"
