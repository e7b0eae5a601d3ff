#!/usr/bin/env bash
# Sets up, builds, and runs the three tests of the client on the examples:
# first as the requests are built (the trace), then delivered to the
# stand-in provider, with its answers, and one run that it refuses.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -DKES_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target KesMDProviderClient mdprovider_stand_in >/dev/null

run() {
  echo "\$ MDPROVIDER_TRACE=demo.trace ${DEMO_ENV:-}build/KesMDProviderClient $*"
  local status=0
  env MDPROVIDER_TRACE=demo.trace ${DEMO_ENV:-} build/KesMDProviderClient "$@" </dev/null || status=$?
  echo "(exit status $status; requests in build/demo.trace:)"
  tr '\0' '\n' <build/demo.trace
  if [[ -n ${DEMO_ENV:-} ]]; then
    echo "(answers in build/demo.answers:)"
    tr '\0' '\n' <build/demo.answers
  fi
  echo
}

echo "== The requests as built, delivered nowhere"
# Relative script paths resolve in the program's directory, build/.
run -t AC -c Demo -s ../examples/action_log.xml -b2 -e4
run -t MA -m Demo -s ../examples/ma_query.xml
run -t XS -m Demo -s ../examples/stylesheet.xml

echo "== Delivered to the stand-in provider"
ready=$(mktemp)
build/mdprovider_stand_in >"$ready" &
provider=$!
trap 'kill "$provider" 2>/dev/null || true; wait "$provider" 2>/dev/null || true; rm -f "$ready"' EXIT
for _ in $(seq 50); do grep -q listening "$ready" && break; sleep 0.1; done
port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$ready")
[[ -n $port ]] || { echo "the stand-in provider did not start" >&2; exit 1; }
DEMO_ENV="MDPROVIDER_DELIVER=http://127.0.0.1:$port/mdprovider MDPROVIDER_RESPONSES=demo.answers "
# The whole log: the provider's model is built by every transaction of it.
run -t AC -c Demo -s ../examples/action_log.xml
run -t MA -m Demo -s ../examples/ma_query.xml
run -t XS -m Demo -s ../examples/stylesheet.xml
echo "== A project the provider does not know: refused, and the status says so"
run -t MA -m Missing -s ../examples/ma_query.xml
