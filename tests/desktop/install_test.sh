#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks what the desktop reads there and
# starts the installed program. Usage: install_test.sh BUILD_FOLDER APP_ID
set -uo pipefail
build="$1"
app_id="$2"
source "$(dirname "$0")/../support/program.sh"

prefix="$test_folder/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
desktop-file-validate "$prefix/share/applications/$app_id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" || fail "metainfo"

icons="$prefix/share/icons/hicolor"
for size in 16 22 24 32 48 64 128 256; do
  file "$icons/${size}x${size}/apps/vantrel.png" | grep -q "PNG image data, $size x $size," || fail "icon $size"
done
file "$icons/scalable/apps/vantrel.svg" | grep -q "SVG" || fail "scalable icon"

# Installed, the program keeps its settings in the user's configuration folder, also
# when it could write beside itself (root can).
export XDG_CONFIG_HOME="$test_folder/config" XDG_CACHE_HOME="$test_folder/cache"
port="$(free_server_port)"
mkdir -p "$XDG_CONFIG_HOME/Vantrel"
server_settings "$port" >"$XDG_CONFIG_HOME/Vantrel/vantrel.INI"
start_program "$prefix/bin/vantrel"
expect_picture "$port"
stop_program

# Without any display, --headless runs it all the same, its log on standard error.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/vantrel" --headless 2>"$test_folder/program.log" &
program_pid=$!
expect_picture "$port"
grep -q "Running without windows; the server is on" "$test_folder/program.log" || fail "headless: $(cat "$test_folder/program.log")"
stop_program
test -f "$prefix/lib/systemd/user/vantrel.service" || fail "the user service is not installed"
