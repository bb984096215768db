#!/usr/bin/env bash
# Sets up, builds and starts Vantrel. Without a display it starts on a virtual one.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh"
"$here/scripts/build.sh" release

binary="$here/build/release/app/vantrel"
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec "$binary"
fi

echo "run: no display found; starting Vantrel on a virtual display (Xvfb)." >&2
echo "run: the web server and snapshots work as usual; the windows are not visible." >&2
exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" "$binary"
