#!/usr/bin/env bash
# WebRTC viewers coming and going, as weeks of browsers do: N offers (300 by default), each
# answered and then ended with a DELETE, one after the other, against the whole program's
# server (ServerBench, the test pattern at 640x480). Prints the program's resident memory,
# descriptors and threads at the start, every 100 viewers, and 10 s after the last.
# Needs curl. Usage: bench/live/webrtc_churn.sh [viewers]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
viewers="${1:-300}"
# shellcheck source=../wrk_vs_nginx.sh
source "$here/../wrk_vs_nginx.sh"
prepare_work
build_bench ServerBench

port="$(free_port)"
QT_QPA_PLATFORM=offscreen "$build/bench/server/ServerBench" "$port" >"$work/ours.log" 2>&1 &
pids+=($!)
ours_pid=$!
wait_for_port "$port"
sleep 2

usage() {
  printf '%-22s rss %4d MB  descriptors %4d  threads %3d\n' "$1" \
    "$(($(awk '/^VmRSS/ {print $2}' "/proc/$ours_pid/status") / 1024))" \
    "$(find "/proc/$ours_pid/fd" -mindepth 1 | wc -l)" "$(awk '/^Threads/ {print $2}' "/proc/$ours_pid/status")"
}

usage "start"
for n in $(seq 1 "$viewers"); do
  location="$(curl -s -m 10 -D - -o /dev/null -H 'Expect:' -H 'Content-Type: application/sdp' \
    --data-binary @"$here/whep_offer.sdp" "http://127.0.0.1:$port/whep" | sed -n 's/^Location: \(.*\)\r$/\1/p')"
  [[ -n "$location" ]] && curl -s -m 5 -X DELETE "http://127.0.0.1:$port$location" >/dev/null
  ((n % 100 == 0)) && usage "after $n viewers"
done
sleep 10
usage "10 s after the last"
