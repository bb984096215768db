#!/usr/bin/env bash
# Makes the README's pictures: Vantrel's main window with the server on and the
# preview, on a virtual desktop (Xvfb with openbox), and the page a browser gets
# from it, in Chromium. Usage: scripts/screenshots.sh [output folder] (docs/ by default)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(mkdir -p "${1:-$here/docs}" && cd "${1:-$here/docs}" && pwd)"
title='Vantrel v1.4.3'

for tool in Xvfb openbox xdotool xwininfo import convert node; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[[ -d "$here/tests/browser/node_modules/playwright-core" ]] || "$here/scripts/setup.sh"
"$here/scripts/build.sh" release

work="$(mktemp -d)"
pids=()
cleanup() {
  # Last started, first ended; whatever does not end on request is killed.
  for ((i = ${#pids[@]} - 1; i >= 0; --i)); do
    kill "${pids[i]}" 2>/dev/null || continue
    for _ in $(seq 50); do kill -0 "${pids[i]}" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# wait_for <seconds> <command...>: runs the command until it succeeds.
wait_for() {
  local tries=$(($1 * 10)); shift
  until "$@" >/dev/null 2>&1; do
    ((--tries > 0)) || { echo "screenshots: gave up waiting for: $*" >&2; exit 1; }
    sleep 0.1
  done
}

# A free port the program's port box takes.
port="$(/usr/bin/python3 "$here/scripts/free_port.py")"

# A virtual desktop of its own: the server picks a free display number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for 15 test -s "$work/display"
export DISPLAY=":$(cat "$work/display")"
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
wait_for 15 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

# The program beside a settings file that turns the server on.
cp "$here/build/release/app/vantrel" "$work/"
printf '[FormMain]\nEnabled=1\nPort=%s\n' "$port" >"$work/vantrel.INI"
(cd "$work" && QT_QPA_PLATFORM=xcb exec ./vantrel 2>"$work/log") &
pids+=($!)
wait_for 30 grep -q 'Initialization Successful' "$work/log"
wait_for 15 xdotool search --onlyvisible --name "^$title\$"
wait_for 15 xdotool search --onlyvisible --name '^Capture Preview$'

# The page in Chromium with "Enable webcam" ticked; it also puts requests in the statistics.
node "$here/tests/browser/stream.mjs" "http://127.0.0.1:$port/" --seconds 3 --keep-watching --screenshot "$work/page.png" >/dev/null

# The desktop from its top-left corner (the preview) to the main window's far corner.
main="$(xdotool search --onlyvisible --name "^$title\$" | head -1)"
eval "$(xwininfo -id "$main" | awk '/Absolute upper-left X/ {print "x=" $4} /Absolute upper-left Y/ {print "y=" $4}
                                      /Width:/ {print "w=" $2} /Height:/ {print "h=" $2}')"
sleep 1
import -window root "$work/desktop.png"
convert "$work/desktop.png" -crop "$((x + w + 8))x$((y + h + 8))+0+0" +repage -colors 256 "PNG8:$out/vantrel-desktop.png"
convert "$work/page.png" -trim +repage -bordercolor black -border 24 -colors 256 "PNG8:$out/vantrel-page.png"
ls -l "$out/vantrel-desktop.png" "$out/vantrel-page.png"
