# Shared by the load benchmarks: nginx as the yardstick, and wrk measurements.
# Source it, then call prepare_work: $work is a temporary folder and every process added to
# pids is ended on exit.

prepare_work() {
  work="$(mktemp -d)"
  pids=()
  trap cleanup EXIT INT TERM
}

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}

# Builds one benchmark program in the release build of the benchmarks; $build is its folder.
build_bench() {
  build="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/bench"
  cmake -S "$build/../.." -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON \
    >/dev/null
  cmake --build "$build" --target "$1" >/dev/null
}

# A free port from 2000 to 9999 (the program's port box stops at 9999).
free_port() { /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/../scripts/free_port.py"; }

need_tools() {
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "this benchmark needs $tool: apt-get install -y wrk nginx-light curl" >&2
      exit 1
    fi
  done
}

wait_for_port() {
  for _ in $(seq 150); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "nothing listens on port $1" >&2
  exit 1
}

# Serves "$work/www" on $nginx_port with $2 workers (auto: one a core). nginx's workers run as
# nobody, so the folder must be readable by all.
start_nginx() {
  nginx_port="$1"
  local workers="${2:-auto}"
  chmod 755 "$work"
  mkdir -p "$work/www" "$work/logs"
  chmod -R a+rX "$work/www"
  cat >"$work/nginx.conf" <<CONF
worker_processes $workers;
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
}

# Prints requests per second; wrk's error counts go to stderr.
measure() {
  local url="$1" connections="$2" threads=2
  [[ "$connections" -lt 2 ]] && threads=1
  local out
  out="$(wrk -t"$threads" -c"$connections" -d"${seconds}s" -H "Connection: close" "$url")"
  grep -E 'Socket errors|Non-2xx' <<<"$out" | sed "s|^|  $url c=$connections: |" >&2 || true
  awk '/Requests\/sec/ {print $2}' <<<"$out"
}

# Both servers at 1, 10 and 100 connections, then the ratio at 10.
compare_with_nginx() {
  local ours_url="$1" nginx_url="$2"
  declare -A ours nginx
  printf '%-12s %14s %14s %8s\n' connections "ours req/s" "nginx req/s" ratio
  for c in 1 10 100; do
    ours[$c]="$(measure "$ours_url" "$c")"
    nginx[$c]="$(measure "$nginx_url" "$c")"
    printf '%-12s %14s %14s %8s\n' "$c" "${ours[$c]}" "${nginx[$c]}" \
      "$(awk -v a="${ours[$c]}" -v b="${nginx[$c]}" 'BEGIN { printf "%.2f", a / b }')"
  done
  echo "ratio at c=10: $(awk -v a="${ours[10]}" -v b="${nginx[10]}" 'BEGIN { printf "%.2f", a / b }') (goal: ${goal:-at least 0.50})"
}
