#!/usr/bin/env bash
# Builds and runs every test: first whether every machine profile is what its
# fragments compose to (a profile edited by hand, or fragments edited without
# composing, fails here), then the default build, then the AddressSanitizer +
# UndefinedBehaviorSanitizer build, then the browser test of the widget and the
# Prometheus test of the metrics and the test of the user service's install
# script. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
echo "== machine profiles =="
python3 tools/compose_profile.py --check
jobs=$(nproc)
for preset in default sanitize; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
if [ -d tests/browser ] && [ -f tests/browser/run.sh ]; then
  tests/browser/run.sh
fi
if [ -f tests/prometheus/run.sh ]; then
  tests/prometheus/run.sh
fi
if [ -f tests/service/run.sh ]; then
  tests/service/run.sh
fi
