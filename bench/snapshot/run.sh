#!/usr/bin/env bash
# Motion comparison of two 1280x720 frames. Usage: bench/snapshot/run.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# The bench build of scripts/build.sh, this target only.
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON >/dev/null
cmake --build "$build" --target MotionBench >/dev/null
"$build/bench/snapshot/MotionBench"
