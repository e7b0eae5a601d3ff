#!/usr/bin/env bash
# Sets up, builds, and runs the three tests of the client on the examples:
# first as the requests are built (the trace), then delivered to the
# stand-in provider, with its answers and one run that it refuses, and last
# a baseline of the answers recorded and later runs compared with it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -DKES_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target KesMDProviderClient mdprovider_stand_in \
  mdprovider_baseline >/dev/null

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

# Starts a stand-in provider with these flags; its address in $address.
providers=()
ready=$(mktemp)
trap 'kill "${providers[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -f "$ready"' EXIT
start_provider() {
  build/mdprovider_stand_in "$@" >"$ready" &
  providers+=($!)
  for _ in $(seq 50); do grep -q listening "$ready" && break; sleep 0.1; done
  local port
  port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$ready")
  [[ -n $port ]] || { echo "the stand-in provider did not start" >&2; exit 1; }
  address=http://127.0.0.1:$port/mdprovider
}

echo "== The requests as built, delivered nowhere"
# Relative script paths resolve in the program's directory, build/.
run -t AC -c Demo -s ../examples/action_log.xml -b2 -e4
run -t MA -m Demo -s ../examples/ma_query.xml
run -t XS -m Demo -s ../examples/stylesheet.xml

echo "== Delivered to the stand-in provider"
start_provider
DEMO_ENV="MDPROVIDER_DELIVER=$address MDPROVIDER_RESPONSES=demo.answers "
# The whole log: the provider's model is built by every transaction of it.
run -t AC -c Demo -s ../examples/action_log.xml
run -t MA -m Demo -s ../examples/ma_query.xml
run -t XS -m Demo -s ../examples/stylesheet.xml
echo "== A project the provider does not know: refused, and the status says so"
run -t MA -m Missing -s ../examples/ma_query.xml

echo "== A baseline: the answers recorded once, later runs compared with them"
compare() {
  echo "\$ $* build/KesMDProviderClient -t AC -c $project -s ../examples/action_log.xml"
  local status=0
  env MDPROVIDER_DELIVER="$address" MDPROVIDER_REPORT=demo-report.xml "$@" \
    build/KesMDProviderClient -t AC -c "$project" -s ../examples/action_log.xml \
    </dev/null >/dev/null || status=$?
  echo "(exit status $status)"
  echo
}
project=Recorded compare MDPROVIDER_RECORD=demo.baseline
echo "(the baseline, build/demo.baseline, begins:)"
head -c 700 build/demo.baseline
echo "..."
echo
echo "-- Again, with other times and ids: the rules mask them, nothing differs"
project=Again compare MDPROVIDER_BASELINE=demo.baseline \
  MDPROVIDER_BASELINE_RULES=../examples/baseline_rules.txt
echo "-- A provider that answers request 3 otherwise: the difference, and status 1"
start_provider --differ 3
project=Changed compare MDPROVIDER_BASELINE=demo.baseline \
  MDPROVIDER_BASELINE_RULES=../examples/baseline_rules.txt MDPROVIDER_RECORD=demo.new \
  MDPROVIDER_HTML=demo-page.html
echo "(the report's failure, in build/demo-report.xml:)"
sed -n '/<failure/,/<\/failure>/p' build/demo-report.xml
echo
echo "(the run's page, one file to open in a browser: file://$PWD/build/demo-page.html)"
echo "-- The change reviewed without a provider, and accepted"
tool() {
  local shown=""
  for word in "$@"; do [[ $word == *" "* ]] && shown+=" \"$word\"" || shown+=" $word"; done
  echo "\$ build/mdprovider_baseline$shown"
  local status=0
  build/mdprovider_baseline "$@" || status=$?
  echo "(exit status $status)"
  echo
}
tool diff build/demo.baseline build/demo.new examples/baseline_rules.txt
tool accept build/demo.baseline build/demo.new "transaction 2"
tool diff build/demo.baseline build/demo.new examples/baseline_rules.txt
