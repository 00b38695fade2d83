#!/usr/bin/env bash
# Builds the widget host and runs it on the built-in demo machine (or on the
# machine profile given with --machine). Installs what is missing first.
# Only the host is built: the tests and benchmarks are scripts/test.sh's and
# scripts/bench.sh's to build, so a fresh checkout serves the widget in the
# time one program takes to compile.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target zor-widget-host
exec build/default/host/zor-widget-host "$@"
