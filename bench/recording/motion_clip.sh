#!/usr/bin/env bash
# A clip on motion from the program's encoder and recorder: what the motion watcher costs, the
# ring of the seconds before, and the time from the change to the file. Usage:
# bench/recording/motion_clip.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON >/dev/null
cmake --build "$build" --target MotionClipBench >/dev/null
"$build/bench/recording/MotionClipBench"
