#!/usr/bin/env bash
# Recording "Always": the whole program (its moving test pattern at 640x480, 30 frames a second)
# writing fragmented MP4 from its H.264 encoder at 2000 kbit/s, against gst-launch-1.0 doing the
# same job from its own moving pattern (same x264 settings, mp4mux fragment-duration=1000 !
# filesink) at the same time, over the given seconds (20 by default). The program's CPU with
# the same picture while not recording is shown apart. Then the time /recordings.json takes
# for 10,000 recordings in the folder.
# Usage: bench/recording/record_always.sh [seconds]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-20}"

# shellcheck source=../wrk_vs_nginx.sh
source "$here/../wrk_vs_nginx.sh"
need_tools curl
prepare_work

build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON >/dev/null
cmake --build "$build" --target ServerBench >/dev/null

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz="$(getconf CLK_TCK)"
percent() { echo "scale=1; $1 * 100 / $hz / $seconds" | bc; }
start_ours() { # settings
  VANTREL_BENCH_SETTINGS="$1" QT_QPA_PLATFORM=offscreen "$build/bench/server/ServerBench" "$port" >"$work/ours.log" 2>&1 &
  ours_pid=$!
  pids+=($ours_pid)
  wait_for_port "$port"
  sleep 4
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
port="$(free_port)"
start_ours ""
o0="$(ticks "$ours_pid")"
sleep "$seconds"
idle=$(($(ticks "$ours_pid") - o0))
kill "$ours_pid"
wait "$ours_pid" 2>/dev/null || true

mkdir -p "$work/ours" "$work/peer"
start_ours "[FormRecording]\nMode=Always\nFolder=$work/ours\nReserveGB=0\n"
peer=(gst-launch-1.0 -q videotestsrc is-live=true horizontal-speed=2 ! video/x-raw,width=640,height=480,framerate=30/1
  ! videoconvert ! video/x-raw,format=I420 ! x264enc tune=zerolatency speed-preset=superfast bframes=0 key-int-max=45
  bitrate=2000 ! h264parse ! mp4mux fragment-duration=1000 ! filesink location="$work/peer/peer.mp4" buffer-mode=unbuffered)
echo "peer: ${peer[*]}"
"${peer[@]}" >"$work/peer.log" 2>&1 &
peer_pid=$!
pids+=($peer_pid)
sleep 3
o0="$(ticks "$ours_pid")" p0="$(ticks "$peer_pid")"
sleep "$seconds"
o=$(($(ticks "$ours_pid") - o0)) p=$(($(ticks "$peer_pid") - p0))
echo "ours recording: $(percent "$o")% of a core (not recording: $(percent "$idle")%, so the recording's share $(percent $((o - idle)))%)"
echo "peer:           $(percent "$p")%"
echo "ratio of the recording's share to the peer: $(echo "scale=2; ($o - $idle) / $p" | bc)"
echo "written: ours $(du -sk "$work/ours" | cut -f1) KB, peer $(du -sk "$work/peer" | cut -f1) KB"
kill "$peer_pid"

python3 - "$work/ours" <<'PY'
import os, sys, datetime
folder = sys.argv[1]
start = datetime.datetime.now() - datetime.timedelta(days=20)
for n in range(10000):
    name = (start + datetime.timedelta(minutes=2 * n)).strftime("%Y-%m-%d %H.%M.%S") + " motion.mp4"
    with open(os.path.join(folder, name), "wb") as f:
        f.write(b"\0" * 64)
PY
for round in 1 2 3; do
  echo "recordings.json with 10,000 recordings, round $round: $(curl -s -o /dev/null -w '%{time_total}' "http://127.0.0.1:$port/recordings.json") s"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
