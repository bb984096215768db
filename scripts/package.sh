#!/usr/bin/env bash
# Makes Vantrel's Debian package from a release build and prints its path, the only
# thing it writes to standard output:  sudo apt install "$(scripts/package.sh)"
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$here/build/package"

{
  "$here/scripts/setup.sh"
  "$here/scripts/build.sh" release
  rm -rf "$out"
  cpack -G DEB --config "$here/build/release/CPackConfig.cmake" -B "$out"
} >&2

ls "$out"/vantrel_*.deb
