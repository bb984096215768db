#!/usr/bin/env bash
# HTTPS on the whole program (test pattern at 640x480, quality 75) against nginx with one
# worker, the same certificate (ECDSA P-256), TLS 1.2 and 1.3 and an ssl_session_cache,
# serving the same JPEG bytes: /pic1.jpg with a new connection (and handshake) per request
# at 1, 10 and 100 connections, and over kept connections at 10; then the program's CPU
# while 10 viewers watch the MJPEG stream over TLS against over plain HTTP, and the longest
# wait for a picture while 500 TLS handshakes are left half done.
# Needs wrk, nginx and curl. Usage: bench/server/https.sh [seconds]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-10}"

# shellcheck source=../wrk_vs_nginx.sh
source "$here/../wrk_vs_nginx.sh"
need_tools wrk nginx curl openssl
prepare_work
chmod 755 "$work"

openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 30 -subj /CN=127.0.0.1 \
  -addext subjectAltName=IP:127.0.0.1 -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
chmod 644 "$work/key.pem"

build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON >/dev/null
cmake --build "$build" --target ServerBench >/dev/null
port="$(free_port)"
VANTREL_BENCH_MAIN="Https=1\nHttpsCertificate=$work/cert.pem\nHttpsKey=$work/key.pem\n" QT_QPA_PLATFORM=offscreen \
  "$build/bench/server/ServerBench" "$port" >"$work/ours.log" 2>&1 &
ours_pid=$!
pids+=($ours_pid)
wait_for_port "$port"
sleep 2

mkdir -p "$work/www" "$work/logs"
curl -s --cacert "$work/cert.pem" -o "$work/www/pic1.jpg" "https://127.0.0.1:$port/pic1.jpg"
chmod -R a+rX "$work/www"
echo "frame: $(stat -c %s "$work/www/pic1.jpg") bytes"
nginx_port="$(free_port)"
cat >"$work/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  types { image/jpeg jpg; }
  ssl_protocols TLSv1.2 TLSv1.3;
  ssl_session_cache shared:SSL:10m;
  server {
    listen 127.0.0.1:$nginx_port ssl;
    ssl_certificate $work/cert.pem;
    ssl_certificate_key $work/key.pem;
    root $work/www;
  }
}
CONF
echo "peer: nginx -c (worker_processes 1; listen ssl; ssl_protocols TLSv1.2 TLSv1.3; ssl_session_cache shared:SSL:10m; same certificate)"
nginx -p "$work" -c "$work/nginx.conf" &
pids+=($!)
wait_for_port "$nginx_port"

# Requests per second; with "keep" the connections are kept (the program keeps them for /streampic).
rate() { # url connections [keep]
  local threads=2 header=(-H "Connection: close")
  [[ "$2" -lt 2 ]] && threads=1
  [[ "${3:-}" == keep ]] && header=()
  wrk -t"$threads" -c"$2" -d"${seconds}s" "${header[@]}" "$1" | awk '/Requests\/sec/ {print $2}'
}
row() { # label ours nginx
  printf '%-28s %12s %12s %7s\n' "$1" "$2" "$3" "$(awk -v a="$2" -v b="$3" 'BEGIN { printf "%.2f", a / b }')"
}
printf '%-28s %12s %12s %7s\n' "https /pic1.jpg" "ours req/s" "nginx req/s" ratio
for c in 1 10 100; do
  row "new connection, c=$c" "$(rate "https://127.0.0.1:$port/pic1.jpg" $c)" \
    "$(rate "https://127.0.0.1:$nginx_port/pic1.jpg" $c)"
done
row "kept connection, c=10" "$(rate "https://127.0.0.1:$port/streampic.jpg" 10 keep)" \
  "$(rate "https://127.0.0.1:$nginx_port/pic1.jpg" 10 keep)"

# The stream to 10 viewers: the program's CPU over TLS and over plain HTTP.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
stream_cpu() { # scheme
  local viewers=()
  for _ in $(seq 10); do
    curl -s -k --max-time "$((seconds + 4))" -o /dev/null "$1://127.0.0.1:$port/stream.mjpg" &
    viewers+=($!)
  done
  sleep 3
  local t0
  t0="$(ticks "$ours_pid")"
  sleep "$seconds"
  echo "scale=1; ($(ticks "$ours_pid") - $t0) * 100 / $(getconf CLK_TCK) / $seconds" | bc
  wait "${viewers[@]}" 2>/dev/null || true
}
plain="$(stream_cpu http)"
tls="$(stream_cpu https)"
echo "MJPEG stream to 10 viewers: plain $plain% of a core, TLS $tls% (ratio $(echo "scale=2; $tls / $plain" | bc), goal: at most 1.3)"

# 500 handshakes begun and never finished, held until they time out: the longest a picture
# waits meanwhile, and the longest the program's GUI thread was held (its own report).
python3 - "$port" <<'PY' &
import socket, sys, time
held = []
for _ in range(500):
    s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
    s.send(b"\x16\x03\x01\x00\xc8\x01")  # a ClientHello record that never comes
    held.append(s)
time.sleep(8)
PY
flood=$!
pids+=($flood)
sleep 2
longest=0
for _ in $(seq 20); do
  t="$(curl -s -k -o /dev/null -w '%{time_total}' "https://127.0.0.1:$port/pic1.jpg")"
  longest="$(awk -v a="$longest" -v b="$t" 'BEGIN { print (b > a) ? b : a }')"
  sleep 0.2
done
wait "$flood" 2>/dev/null || true
gui="$(tail -n 12 "$work/ours.log" | awk '/gui-wait/ { if ($NF > m) m = $NF } END { print m + 0 }')"
echo "500 half-open handshakes: longest /pic1.jpg over https $(awk -v t="$longest" 'BEGIN { printf "%.0f", t * 1000 }') ms, GUI thread held at most $gui ms"
