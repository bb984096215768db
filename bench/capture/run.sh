#!/usr/bin/env bash
# Frame grab and preview benchmarks. Usage: bench/capture/run.sh
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
"$here/scripts/build.sh" bench
bin="$here/build/bench/bench/capture"

echo "== grab plus encode against plain libjpeg-turbo"
QT_QPA_PLATFORM=offscreen "$bin/GrabEncodeBench"

echo "== preview CPU on a real X display"
xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/PreviewCpuBench" 20

echo "== a failed camera: GUI thread held on switch and end; source elements after reconnects"
QT_QPA_PLATFORM=offscreen "$bin/FailedSourceBench"
