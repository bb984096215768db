#!/usr/bin/env bash
# The live MJPEG stream with 1, 10, 100 and 200 viewers (connecting all at once): the whole program (test pattern at
# 640x480, 30 frames a second, quality 75) against a GStreamer peer doing the same job
# (videotestsrc ! jpegenc ! multipartmux ! tcpserversink, same size, rate and quality), both
# read by the same small reader (StreamReader), for the given seconds each (20 by default).
# Each row: frames a second per viewer (minimum and median), the server's CPU (percent of one
# core) and resident memory at the start and the end of the run (and its largest); for the
# program also the frames captured and the JPEG encodings made during the run.
# Needs gst-launch-1.0 (gstreamer1.0-tools). Usage: bench/server/stream.sh [seconds]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-20}"

# shellcheck source=../wrk_vs_nginx.sh
source "$here/../wrk_vs_nginx.sh"
command -v gst-launch-1.0 >/dev/null || { echo "this benchmark needs gst-launch-1.0 (gstreamer1.0-tools)" >&2; exit 1; }

# shellcheck source=start_program.sh
source "$here/start_program.sh"
prepare_work
start_program
ours_pid="${pids[-1]}"
cmake --build "$root/build/bench" --target StreamReader >/dev/null
reader="$root/build/bench/bench/server/StreamReader"

peer_port="$(free_port)"
gst-launch-1.0 -q videotestsrc is-live=true horizontal-speed=2 \
  ! video/x-raw,width=640,height=480,framerate=30/1 ! jpegenc quality=75 ! multipartmux \
  ! tcpserversink host=127.0.0.1 port="$peer_port" >"$work/peer.log" 2>&1 &
pids+=($!)
peer_pid=$!
wait_for_port "$peer_port"

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
# "frames <n> encodes <n>" from the program's last report.
counts() { grep '^frames ' "$work/ours.log" | tail -1 | awk '{print $2, $4}'; }

# One run of the reader against a server; prints the row.
run() {
  local name="$1" pid="$2" port="$3" viewers="$4" request="${5:-}"
  local hz before after first largest now last c0 c1
  hz="$(getconf CLK_TCK)"
  "$reader" "$port" "$viewers" "$seconds" ${request:+"$request"} >"$work/reader.out" &
  local reader_pid=$!
  sleep 1 # the reader's warm-up second
  before="$(ticks "$pid")"; first="$(rss "$pid")"; largest="$first"; c0="$(counts)"
  for ((s = 0; s < seconds; s++)); do
    sleep 1
    now="$(rss "$pid")"; ((now > largest)) && largest="$now"
  done
  after="$(ticks "$pid")"; last="$(rss "$pid")"; c1="$(counts)"
  wait "$reader_pid"
  local extra=""
  if [[ "$name" == ours ]]; then
    read -r f0 e0 <<<"$c0"; read -r f1 e1 <<<"$c1"
    extra="  frames $((f1 - f0)) encodes $((e1 - e0))"
  fi
  printf '%-5s %3d viewers: %s  cpu %3d%%  rss %d -> %d KiB (max %d)%s\n' "$name" "$viewers" \
    "$(cat "$work/reader.out")" $(((after - before) * 100 / hz / seconds)) "$first" "$last" "$largest" "$extra"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for viewers in ${VIEWERS:-1 10 100 200}; do
  run ours "$ours_pid" "$port" "$viewers" "GET /stream.mjpg HTTP/1.1"
  run peer "$peer_pid" "$peer_port" "$viewers"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "(goals: at least 29 fps per viewer at 10 viewers and 25 at 100; every viewer's first picture within 2000 ms; ours' CPU no more than the peer's at 10 and 100; memory flat; one encode per frame)"
