#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one in turn, at the lowest priority.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target...]
# New inputs that widen coverage go to build/fuzz/corpus/<target>; a crash is written to
# build/fuzz/findings/<target>. To keep one for good, add it to tests/fuzz/<target>/corpus.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
shift || true
dir="$here/build/fuzz"

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$here")}"
  export CCACHE_NOHASHDIR=1
fi
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++-14 "${launcher[@]}" >/dev/null
cmake --build "$dir" --parallel "$(nproc)"

targets=("$@")
if ((${#targets[@]} == 0)); then
  for folder in "$here"/tests/fuzz/*/corpus; do
    targets+=("$(basename "$(dirname "$folder")")")
  done
fi

status=0
for target in "${targets[@]}"; do
  work="$dir/corpus/$target"
  findings="$dir/findings/$target"
  logs="$dir/logs/$target"
  mkdir -p "$work" "$findings" "$logs"
  rm -f "$logs"/fuzz-*.log
  echo "fuzz: $target for ${seconds}s"
  # With -jobs libFuzzer runs the target in a child whose output goes to fuzz-0.log in the
  # current folder.
  (cd "$logs" && nice -n 19 "$dir/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -jobs=1 -workers=1 \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$work" "$here/tests/fuzz/$target/corpus" >/dev/null 2>&1) || true
  log="$logs/fuzz-0.log"
  grep '^#[0-9]*[[:space:]]*DONE\|^stat::number_of_executed_units\|^stat::new_units_added' "$log" || true
  if ! grep -q '^Done [0-9]* runs' "$log" || grep -q 'ERROR\|^SUMMARY\|promise broken' "$log"; then
    echo "fuzz: $target FOUND A PROBLEM, see $log and $findings" >&2
    status=1
  fi
done
exit "$status"
