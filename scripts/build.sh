#!/usr/bin/env bash
# Configures and builds Vantrel. Usage: scripts/build.sh [release|debug|sanitize|tsan|bench] [--unit-tests]
# --unit-tests builds only what the unit suites need.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
kind="${1:-release}"

case "$kind" in
  release)  dir="$here/build/release";  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_TESTS=OFF) ;;
  debug)    dir="$here/build/debug";    flags=(-DCMAKE_BUILD_TYPE=Debug) ;;
  sanitize) dir="$here/build/sanitize"; flags=(-DCMAKE_BUILD_TYPE=Debug -DVANTREL_SANITIZE=ON) ;;
  tsan)     dir="$here/build/tsan";     flags=(-DCMAKE_BUILD_TYPE=Debug -DVANTREL_TSAN=ON) ;;
  bench)    dir="$here/build/bench";    flags=(-DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF -DVANTREL_BENCH=ON) ;;
  *) echo "usage: $0 [release|debug|sanitize|tsan|bench]" >&2; exit 2 ;;
esac

# Warnings fail the builds that run the tests, so a warning never lands; a user's release
# build on a newer compiler only warns. VANTREL_WERROR=ON|OFF overrides.
case "$kind" in
  debug|sanitize|tsan) werror=ON ;;
  *) werror=OFF ;;
esac
[[ "${CI:-}" == "true" ]] && werror=ON
werror="${VANTREL_WERROR:-$werror}"

# ccache makes rebuilds in several work trees cheap; paths are taken relative to /work.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$here")}"
  export CCACHE_NOHASHDIR=1 # debug builds in other folders may share objects
fi

cmake -S "$here" -B "$dir" -G Ninja "${flags[@]}" "${launcher[@]}" -DVANTREL_WERROR="$werror" >/dev/null
targets=()
if [[ "${2:-}" == "--unit-tests" ]]; then
  mapfile -t targets < <(ctest --test-dir "$dir" -N -L '^unit$' | sed -n 's/^ *Test *#[0-9]*: //p' |
    sed -E 's/^FuzzReplay_(.*)$/fuzz_\1_replay/')
  targets=(--target "${targets[@]}")
fi
cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
