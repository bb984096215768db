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

echo "run: no display found; running Vantrel without windows (--headless)." >&2
echo "run: the settings file says what runs; see \"Without a desktop\" in the README." >&2
exec "$binary" --headless
