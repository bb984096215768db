#!/usr/bin/env bash
# Requests per second for "GET /pic1.jpg HTTP/1.1" on the whole program (test pattern at
# 640x480, quality 75) against nginx serving the same JPEG bytes as a static file, with the
# same wrk command ("Connection: close") at 1, 10 and 100 connections, 10 s each.
# Needs wrk and nginx (apt-get install -y wrk nginx-light); installs nothing itself.
# Usage: bench/server/run.sh [seconds]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-10}"

for tool in wrk nginx curl; do
  if ! command -v "$tool" >/dev/null; then
    echo "run.sh needs $tool: apt-get install -y wrk nginx-light curl" >&2
    exit 1
  fi
done

build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON >/dev/null
cmake --build "$build" --target ServerBench >/dev/null

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# The program's port box stops at 9999.
free_port() {
  python3 -c '
import random, socket
for _ in range(200):
    port = random.randint(2000, 9999)
    s = socket.socket()
    try:
        s.bind(("0.0.0.0", port)); print(port); break
    except OSError: pass
    finally: s.close()'
}

wait_for_port() {
  for _ in $(seq 150); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "nothing listens on port $1" >&2
  exit 1
}

ours_port="$(free_port)"
QT_QPA_PLATFORM=offscreen "$build/bench/server/ServerBench" "$ours_port" >"$work/ours.log" 2>&1 &
pids+=($!)
wait_for_port "$ours_port"
sleep 1

# nginx serves the very bytes the program sends for one frame.
nginx_port="$(free_port)"
chmod 755 "$work"
mkdir -p "$work/www" "$work/logs"
curl -s -o "$work/www/pic1.jpg" "http://127.0.0.1:$ours_port/pic1.jpg"
chmod 644 "$work/www/pic1.jpg"
echo "frame: $(stat -c %s "$work/www/pic1.jpg") bytes, $(file -b "$work/www/pic1.jpg" | grep -o '[0-9]*x[0-9]*, components 3')"
cat >"$work/nginx.conf" <<CONF
worker_processes auto;
daemon off;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  keepalive_timeout 0;
  types { image/jpeg jpg; }
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/www;
  }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" &
pids+=($!)
wait_for_port "$nginx_port"

measure() {
  local url="$1" connections="$2" threads=2
  [[ "$connections" -lt 2 ]] && threads=1
  local out
  out="$(wrk -t"$threads" -c"$connections" -d"${seconds}s" -H "Connection: close" "$url")"
  grep -E 'Socket errors|Non-2xx' <<<"$out" | sed "s|^|  $url c=$connections: |" >&2 || true
  awk '/Requests\/sec/ {print $2}' <<<"$out"
}

declare -A ours nginx
printf '%-12s %14s %14s %8s\n' connections "ours req/s" "nginx req/s" ratio
for c in 1 10 100; do
  ours[$c]="$(measure "http://127.0.0.1:$ours_port/pic1.jpg" "$c")"
  nginx[$c]="$(measure "http://127.0.0.1:$nginx_port/pic1.jpg" "$c")"
  printf '%-12s %14s %14s %8s\n' "$c" "${ours[$c]}" "${nginx[$c]}" \
    "$(awk -v a="${ours[$c]}" -v b="${nginx[$c]}" 'BEGIN { printf "%.2f", a / b }')"
done
echo "ratio at c=10: $(awk -v a="${ours[10]}" -v b="${nginx[10]}" 'BEGIN { printf "%.2f", a / b }') (goal: at least 0.50)"
