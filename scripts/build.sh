#!/usr/bin/env bash
# Configures and builds Vantrel. Usage: scripts/build.sh [release|debug|sanitize|bench]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
kind="${1:-release}"

case "$kind" in
  release)  dir="$here/build/release";  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_TESTS=OFF) ;;
  debug)    dir="$here/build/debug";    flags=(-DCMAKE_BUILD_TYPE=Debug) ;;
  sanitize) dir="$here/build/sanitize"; flags=(-DCMAKE_BUILD_TYPE=Debug -DVANTREL_SANITIZE=ON) ;;
  bench)    dir="$here/build/bench";    flags=(-DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON) ;;
  *) echo "usage: $0 [release|debug|sanitize|bench]" >&2; exit 2 ;;
esac

# Warnings fail the build in CI, so a warning never lands.
werror=OFF
[[ "${CI:-}" == "true" ]] && werror=ON

cmake -S "$here" -B "$dir" -G Ninja "${flags[@]}" -DVANTREL_WERROR="$werror" >/dev/null
cmake --build "$dir" --parallel "$(nproc)"
