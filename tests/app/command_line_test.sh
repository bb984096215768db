#!/usr/bin/env bash
# The program's options, against the real binary. Usage: command_line_test.sh VANTREL
set -uo pipefail
binary="$1"
source "$(dirname "$0")/../support/program.sh"

# Printing options must not need a display: with X11 asked for and none there, a
# program that made its application first would abort.
version="$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$binary" --version)" || fail "--version failed"
[[ "$version" == "Vantrel v1.4.3" ]] || fail "--version printed '$version'"
help="$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$binary" --help)" || fail "--help failed"
for option in --help --version "--settings <file>" --headless; do
  grep -qF -- "$option" <<<"$help" || fail "--help does not mention $option: $help"
done

# Wrong options: one line that says what is wrong, one hint, exit code 2, no window.
for wrong in --bogus --settings stray; do
  error="$(env -u DISPLAY QT_QPA_PLATFORM=xcb "$binary" "$wrong" 2>&1 >/dev/null)"
  code=$?
  [[ $code -eq 2 ]] || fail "$wrong: exit code $code"
  [[ "$(sed -n 1p <<<"$error")" == "vantrel: "*"${wrong#--}"* ]] || fail "$wrong: $error"
  [[ "$(sed -n 2p <<<"$error")" == "Try 'vantrel --help' for more information." ]] || fail "$wrong: $error"
  [[ "$(wc -l <<<"$error")" -eq 2 ]] || fail "$wrong: $error"
done

# No display to open, unset or not served: one line and exit code 1, not Qt's abort.
for display in "-u DISPLAY" "DISPLAY=:97"; do
  error="$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $display "$binary" 2>&1 >/dev/null)"
  code=$?
  [[ $code -eq 1 && "$error" == "vantrel: "*display* && "$(wc -l <<<"$error")" -eq 1 ]] || fail "$display: $code $error"
done

# --settings: the server starts from the file given, wherever it is and whatever bytes
# name it. Qt's own options, its X11 ones too, pass.
port="$(free_server_port)"
settings="$test_folder/$(printf 'else\xffwhere.ini')"
server_settings "$port" >"$settings"
start_program "$binary" --settings "$settings" -platform offscreen -style Fusion -name cam -title Cam -icon \
  cam.png -visual TrueColor -display :0 -geometry 300x200
expect_picture "$port"
stop_program
