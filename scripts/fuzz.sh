#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each over its seed corpus.
#   scripts/fuzz.sh smoke        a fixed, deterministic number of inputs each
#   scripts/fuzz.sh campaign N   N inputs each (a longer campaign)
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-smoke}
case "$mode" in
  smoke) runs=20000 ;;
  campaign) runs=${2:?campaign needs a number of inputs} ;;
  *) echo "usage: scripts/fuzz.sh smoke | campaign N" >&2; exit 2 ;;
esac

CXX=clang++ cmake -S . -B build-fuzz -DKES_FUZZ=ON -DKES_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(command_line replay answer rules baseline configuration auth_challenges)
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

started=$SECONDS
for target in "${targets[@]}"; do
  work=$(mktemp -d)
  began=$SECONDS
  echo "fuzz_$target: $runs inputs"
  # New inputs go to the work folder; the seeds in the repo stay as they are.
  status=0
  # A fault's input is kept in build-fuzz/, out of the sources.
  ASAN_OPTIONS=detect_leaks=1 build-fuzz/fuzz/fuzz_$target -seed=1 -runs="$runs" \
    -max_len=4096 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$PWD/build-fuzz/fuzz_$target-" \
    "$work" "fuzz/corpus/$target" >"$work.log" 2>&1 || status=$?
  grep -E "^(stat::number_of_executed_units|Done )" "$work.log" || true
  if [[ $status -ne 0 ]]; then
    echo "fuzz_$target found a fault (exit status $status):"
    tail -60 "$work.log"
    exit 1
  fi
  rm -rf "$work" "$work.log"
  echo "fuzz_$target: $((SECONDS - began)) s"
done
echo "fuzz: ${#targets[@]} targets in $((SECONDS - started)) s"
