#!/usr/bin/env bash
# Builds the project and runs the main job on the built-in demo machine (or on
# the machine profile given with --machine). Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
if [ -x build/default/host/zor-widget-host ]; then
  exec build/default/host/zor-widget-host "$@"
fi
exec build/default/tools/zor-sensors "$@"
