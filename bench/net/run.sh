#!/usr/bin/env bash
# Requests per second of the socket components' bench server against nginx serving the
# same 40 KB on loopback, with wrk opening one connection per request, at 1, 10 and 100
# connections for 10 s each. Needs wrk and nginx (apt-get install -y wrk nginx-light);
# installs nothing itself. Usage: bench/net/run.sh [seconds]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-10}"

# shellcheck source=../wrk_vs_nginx.sh
source "$here/../wrk_vs_nginx.sh"
need_tools wrk nginx

# The bench build of scripts/build.sh, this target only.
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON >/dev/null
cmake --build "$build" --target NetBench >/dev/null
bench="$build/bench/net/NetBench"

prepare_work


start_ours() {
  ours_port="$(free_port)"
  "$bench" "$ours_port" >"$work/ours.log" 2>&1 &
  pids+=($!)
  wait_for_port "$ours_port"
}

start_ours
mkdir -p "$work/www"
head -c 40960 /dev/urandom >"$work/www/frame.jpg"
start_nginx "$(free_port)"

compare_with_nginx "http://127.0.0.1:$ours_port/pic" "http://127.0.0.1:$nginx_port/frame.jpg"
