#!/usr/bin/env bash
# Builds the Debian package of the build and checks its control fields and contents.
# Usage: package_test.sh BUILD_FOLDER VERSION APP_ID
set -uo pipefail
build="$1"
version="$2"
app_id="$3"
source "$(dirname "$0")/../support/program.sh"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$test_folder" >/dev/null || fail "cpack failed"
deb="$test_folder/vantrel_${version}_$(dpkg --print-architecture).deb"
[[ -f "$deb" ]] || fail "no $deb"

field() { dpkg-deb --field "$deb" "$1"; }
for expected in "Package=vantrel" "Version=$version" "Section=video" "Homepage=http*" "Maintainer=*@*" \
  "Description=*webcam*"; do
  [[ "$(field "${expected%%=*}")" == ${expected#*=} ]] || fail "${expected%%=*}: $(field "${expected%%=*}")"
done

# The libraries' packages come from the binary; the plug-ins it loads are named.
depends="$(field Depends)"
for package in libqt6widgets6 libqt6charts6 libgstreamer1.0-0 libjpeg62-turbo libgstrtspserver-1.0-0 libssl3 \
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-nice gstreamer1.0-pulseaudio \
  glib-networking fonts-liberation2 libqrencode4; do
  grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done

contents="$(dpkg-deb --contents "$deb")"
for path in ./usr/bin/vantrel "./usr/share/applications/$app_id.desktop" \
  "./usr/share/metainfo/$app_id.metainfo.xml" ./usr/share/icons/hicolor/48x48/apps/vantrel.png \
  ./usr/lib/systemd/user/vantrel.service ./usr/share/doc/vantrel/copyright ./usr/share/doc/vantrel/changelog.gz \
  ./usr/share/man/man1/vantrel.1.gz; do
  grep -qE " $path\$" <<<"$contents" || fail "the package lacks $path"
done

# Debian's checker finds nothing to fix; the manual page tells the options --help tells.
command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup.sh installs it)"
checked="$(lintian --tag-display-limit 0 "$deb" 2>/dev/null)"
grep -E '^[EW]: ' <<<"$checked" && fail "lintian: $checked"
manual="$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/vantrel.1.gz | zcat)"
for option in help version settings headless; do
  grep -qF -- "\\-\\-$option" <<<"$manual" || fail "the manual page lacks --$option"
done
