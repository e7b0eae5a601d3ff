#!/usr/bin/env bash
# Sets up, builds, and runs the three tests of the client on the examples,
# showing the console and the requests each run would send.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -DKES_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target KesMDProviderClient >/dev/null

run() {
  echo "\$ MDPROVIDER_TRACE=demo.trace build/KesMDProviderClient $*"
  local status=0
  MDPROVIDER_TRACE=demo.trace build/KesMDProviderClient "$@" </dev/null || status=$?
  echo "(exit status $status; requests in build/demo.trace:)"
  tr '\0' '\n' <build/demo.trace
  echo
}

# Relative script paths resolve in the program's directory, build/.
run -t AC -c Demo -s ../examples/action_log.xml -b2 -e4
run -t MA -m Demo -s ../examples/ma_query.xml
run -t XS -m Demo -s ../examples/stylesheet.xml
