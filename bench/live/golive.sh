#!/usr/bin/env bash
# Going live: the whole program (its moving test pattern at 640x480, 30 frames a second, silence as AAC)
# pushing to nginx with its RTMP module at 2500 kbit/s, against gst-launch-1.0 pushing its own
# test pattern and silence with the same encoders to the same nginx at the same time, over
# three spells of the given seconds (20 by default). Each row: CPU (percent of one core) and
# the bitrate nginx received; for the program also its CPU with the same picture while not
# live, and the longest its GUI thread was kept from a 5 ms timer (going live, and after nginx
# was killed and started again, until it was live again).
# Needs nginx-light, libnginx-mod-rtmp and curl. Usage: bench/live/golive.sh [seconds]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-20}"

# shellcheck source=../wrk_vs_nginx.sh
source "$here/../wrk_vs_nginx.sh"
need_tools nginx curl
prepare_work

build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON >/dev/null
cmake --build "$build" --target ServerBench >/dev/null

rtmp="$(free_port)"
http="$(free_port)"
mkdir -p "$work/nginx"
cat >"$work/nginx/nginx.conf" <<CONF
load_module /usr/lib/nginx/modules/ngx_rtmp_module.so;
daemon off;
master_process off;
pid $work/nginx/nginx.pid;
error_log stderr warn;
events { worker_connections 64; }
rtmp { server { listen 127.0.0.1:$rtmp; application live { live on; } } }
http {
  access_log off;
  client_body_temp_path $work/nginx; proxy_temp_path $work/nginx; fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx; scgi_temp_path $work/nginx;
  server { listen 127.0.0.1:$http; location /stat { rtmp_stat all; } }
}
CONF
start_rtmp_server() {
  nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e stderr >>"$work/nginx.log" 2>&1 &
  nginx_pid=$!
  pids+=($nginx_pid)
  wait_for_port "$rtmp"
}
start_rtmp_server

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz="$(getconf CLK_TCK)"
percent() { echo "scale=1; $1 * 100 / $hz / $seconds" | bc; }
cpu_over() { # pid -> percent of one core over $seconds
  local before
  before="$(ticks "$1")"
  sleep "$seconds"
  percent $(($(ticks "$1") - before))
}
# Kilobits a second nginx takes in on the stream of that name.
received_kbps() {
  curl -s "http://127.0.0.1:$http/stat" | python3 -c '
import sys, xml.etree.ElementTree as tree
for stream in tree.parse(sys.stdin).iter("stream"):
    if stream.findtext("name") == sys.argv[1]:
        print(int(stream.findtext("bw_in")) // 1000)' "$1"
}
gui_wait() { awk '/gui-wait/ {if ($8 > m) m = $8} END {print m + 0}' "$1"; }
wait_for_line() { # file text seconds
  for _ in $(seq $(($3 * 10))); do grep -q "$2" "$1" && return 0; sleep 0.1; done
  echo "no '$2' in $1 after $3 s" >&2
  exit 1
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
port="$(free_port)"
VANTREL_BENCH_SETTINGS="[FormGoLive]\nUrl=rtmp://127.0.0.1:$rtmp/live\nKey=ours\nBitrate=2500\n" \
  QT_QPA_PLATFORM=offscreen "$build/bench/server/ServerBench" "$port" >"$work/ours.log" 2>&1 &
pids+=($!)
ours_pid=$!
wait_for_port "$port"
sleep 3
idle="$(cpu_over "$ours_pid")"

kill "$ours_pid"
wait "$ours_pid" 2>/dev/null || true
VANTREL_BENCH_SETTINGS="[FormGoLive]\nUrl=rtmp://127.0.0.1:$rtmp/live\nKey=ours\nBitrate=2500\nAutoStart=1\n" \
  QT_QPA_PLATFORM=offscreen "$build/bench/server/ServerBench" "$port" >"$work/ours.log" 2>&1 &
pids+=($!)
ours_pid=$!
wait_for_line "$work/ours.log" "Live on 127.0.0.1" 20
gst-launch-1.0 -q videotestsrc is-live=true horizontal-speed=2 ! video/x-raw,width=640,height=480,framerate=30/1 ! videoconvert \
  ! video/x-raw,format=I420 ! x264enc tune=zerolatency speed-preset=superfast bframes=0 key-int-max=45 bitrate=2500 \
  ! h264parse ! flvmux name=mux streamable=true ! rtmp2sink location="rtmp://127.0.0.1:$rtmp/live/peer" \
  audiotestsrc is-live=true wave=silence ! audioconvert ! audioresample ! audio/x-raw,rate=44100,channels=2 \
  ! voaacenc bitrate=128000 ! aacparse ! mux. >"$work/peer.log" 2>&1 &
pids+=($!)
peer_pid=$!
sleep 4
ours_ticks=0
peer_ticks=0
for spell in 1 2 3; do
  o0="$(ticks "$ours_pid")" p0="$(ticks "$peer_pid")"
  sleep "$seconds"
  o=$(($(ticks "$ours_pid") - o0)) p=$(($(ticks "$peer_pid") - p0))
  echo "spell $spell: ours $(percent "$o")%  peer $(percent "$p")%  ratio $(echo "scale=2; $o / $p" | bc)"
  ours_ticks=$((ours_ticks + o)) peer_ticks=$((peer_ticks + p))
done
ours_kbps="$(received_kbps ours)"
peer_kbps="$(received_kbps peer)"
kill "$peer_pid"
start_wait="$(gui_wait "$work/ours.log")"

kill -9 "$nginx_pid"
wait "$nginx_pid" 2>/dev/null || true
wait_for_line "$work/ours.log" "trying again in" 20
lines_before="$(wc -l <"$work/ours.log")"
start_rtmp_server
t0="$(date +%s%N)"
for _ in $(seq 300); do
  [[ "$(grep -c 'Live on 127.0.0.1' "$work/ours.log")" -ge 2 ]] && break
  sleep 0.1
done
back_ms=$((($(date +%s%N) - t0) / 1000000))
sleep 1
restart_wait="$(tail -n +"$lines_before" "$work/ours.log" | gui_wait /dev/stdin)"
kill "$ours_pid"
wait "$ours_pid" 2>/dev/null || true

seconds=$((seconds * 3))
printf 'ours  not live: cpu %5s%%\n' "$idle"
printf 'ours  live:     cpu %5s%%  nginx receives %5s kbit/s  gui-wait max %s ms going live, %s ms reconnecting\n' \
  "$(percent "$ours_ticks")" "$ours_kbps" "$start_wait" "$restart_wait"
printf 'ours  live again %d ms after nginx was back\n' "$back_ms"
printf 'peer  live:     cpu %5s%%  nginx receives %5s kbit/s\n' "$(percent "$peer_ticks")" "$peer_kbps"
echo "ratio: $(echo "scale=2; $ours_ticks / $peer_ticks" | bc) (goal: at most 1.10)"
