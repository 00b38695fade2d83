#!/usr/bin/env bash
# Builds and runs every test: first whether every machine profile is what its
# fragments compose to, then the default build (gcc), then the clang
# AddressSanitizer + UndefinedBehaviorSanitizer build of the fuzz preset, whose
# test programs run like the default ones and whose fuzz targets then run over
# their corpora for a bounded time each; then the browser test of the widget,
# the Prometheus test of the metrics and the test of the user service's
# install script. Installs what is missing first. (The gcc `sanitize` preset
# stays for developers; the fuzz build stands in for it here, so CI builds
# the tree twice, not three times.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
echo "== machine profiles =="
python3 tools/compose_profile.py --check
jobs=$(nproc)
for preset in default fuzz; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
echo "== fuzz targets =="
fuzz_start=$SECONDS
tests/fuzz/run.sh build/fuzz
echo "fuzz targets: $((SECONDS - fuzz_start)) s"
if [ -d tests/browser ] && [ -f tests/browser/run.sh ]; then
  tests/browser/run.sh
fi
if [ -f tests/prometheus/run.sh ]; then
  tests/prometheus/run.sh
fi
if [ -f tests/service/run.sh ]; then
  tests/service/run.sh
fi
