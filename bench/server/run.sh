#!/usr/bin/env bash
# Requests per second for "GET /pic1.jpg HTTP/1.1" on the whole program (test pattern at
# 640x480, quality 75) against nginx serving the same JPEG bytes as a static file, with the
# same wrk command ("Connection: close") at 1, 10 and 100 connections, 10 s each. nginx has
# one worker, as the program has one thread serving requests.
# Needs wrk and nginx (apt-get install -y wrk nginx-light); installs nothing itself.
# Usage: bench/server/run.sh [seconds]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-10}"

# shellcheck source=../wrk_vs_nginx.sh
source "$here/../wrk_vs_nginx.sh"
need_tools wrk nginx curl

# shellcheck source=start_program.sh
source "$here/start_program.sh"
prepare_work
start_program

# nginx serves the very bytes the program sends for one frame.
mkdir -p "$work/www"
curl -s -o "$work/www/pic1.jpg" "http://127.0.0.1:$port/pic1.jpg"
echo "frame: $(stat -c %s "$work/www/pic1.jpg") bytes, $(file -b "$work/www/pic1.jpg" | grep -o '[0-9]*x[0-9]*, components 3')"
start_nginx "$(free_port)" 1

goal="at least 1.00 at c=1, 10 and 100" compare_with_nginx "http://127.0.0.1:$port/pic1.jpg" "http://127.0.0.1:$nginx_port/pic1.jpg"
