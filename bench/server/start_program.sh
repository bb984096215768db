# Builds the in-process program (ServerBench) and starts it serving the test pattern on a free
# port, which it leaves in $port. Sourced after wrk_vs_nginx.sh and prepare_work; needs $root.
start_program() {
  local build="$root/build/bench"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON >/dev/null
  cmake --build "$build" --target ServerBench >/dev/null
  port="$(free_port)"
  QT_QPA_PLATFORM=offscreen "$build/bench/server/ServerBench" "$port" >"$work/ours.log" 2>&1 &
  pids+=($!)
  wait_for_port "$port"
  sleep 1
}
