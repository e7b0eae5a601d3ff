#!/usr/bin/env bash
# Builds for speed, generates the action logs (once, into bench/data/) and
# runs the replay benchmark, the per-request benchmark, the delivery
# benchmark (against a local nginx), the baseline's cost on delivery and the
# run's page's.
#   bench/run.sh [ROUNDS] [BASELINE_CLIENT]
# BASELINE_CLIENT: another build of the client (an earlier commit, built for
# speed) that replays the 1M log in the same rounds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --bench
cmake -S . -B build-bench -DKES_BENCH=ON -DKES_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j"$(nproc)" >/dev/null
# Every benchmark runs and prints its figures; the status tells whether all
# of their targets were met.
status=0
baseline=()
[[ -n "${2:-}" ]] && baseline=(--baseline "$2")
python3 bench/run_benchmarks.py build-bench bench/data --rounds "${1:-5}" "${baseline[@]}" || status=1
python3 bench/replay_floor.py build-bench bench/data --rounds "${1:-5}" || status=1
build-bench/bench/request_benchmark --benchmark_min_time=0.5
python3 bench/delivery_benchmark.py build-bench bench/data --rounds 5 || status=1
python3 bench/baseline_delivery_benchmark.py build-bench bench/data --rounds 5 || status=1
python3 bench/page_benchmark.py build-bench bench/data --rounds 5 || status=1
# One large answer compared as XML under rules, each in a process of its
# own: its peak against 64 MiB plus 4 times the answer and its record.
for mib in 4 32 128; do
  for rule in "mask /*/@time" "mask //object/@created"; do
    build-bench/bench/large_answer_memory bench/data "$mib" "$rule" || status=1
  done
done
exit $status
