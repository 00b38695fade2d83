#!/usr/bin/env bash
# The metrics as Prometheus sees them: Debian's promtool lints the text of the
# demo machine, of a machine whose names need escaping and of the recorded
# Linux trees under tests/linux/trees/ (between them every family appears),
# then a real Prometheus server scrapes a running widget host (e2e.py).
# Installs the prometheus package (server and promtool) when missing and
# builds the two programs if needed.
set -euo pipefail
cd "$(dirname "$0")"
root="$(cd ../.. && pwd)"
build="$root/build/default"
command -v promtool >/dev/null && command -v prometheus >/dev/null ||
  "$root/scripts/install-deps.sh" prometheus
if [ ! -x "$build/tools/zor-sensors" ] || [ ! -x "$build/host/zor-widget-host" ]; then
  (cd "$root" && cmake --preset default >/dev/null &&
    cmake --build --preset default -j2 --target zor-sensors zor-widget-host)
fi

echo "== prometheus =="
# `zor-sensors ARGUMENTS --prometheus` into $text, which must hold each of
# PATTERNS; promtool prints nothing and exits 0 for a clean text.
lint() {
  text=$("$build/tools/zor-sensors" $1 --prometheus 2>/dev/null)
  for pattern in "${@:2}"; do
    grep -qF -- "$pattern" <<<"$text" || { echo "no $pattern in $1"; exit 1; }
  done
  problems=$(promtool check metrics <<<"$text" 2>&1) && [ -z "$problems" ] ||
    { echo "promtool on $1:"; echo "$problems"; exit 1; }
  echo "promtool: $1 lint-clean"
}
lint "--machine demo" 'zorsensors_temperature_celsius{sensor="talvero.dts.0"'
# The texts arrive escaped, or the lint would not have anything to check.
lint "--machine odd-names.plist" 'location="Rack \"A\" \\ slot 2\nlower shelf"' 'serial="SER\"1\\2"'
families=""
for tree in ../linux/trees/*/; do
  lint "--machine this --root $tree"
  families+="$text"$'\n'
done
for family in temperature_celsius voltage_volts current_amperes power_watts fan_speed_rpm \
  frequency_hertz; do
  grep -q "^zorsensors_$family" <<<"$families" || { echo "no recorded tree has $family"; exit 1; }
done

ZOR_WIDGET_HOST="$build/host/zor-widget-host" python3 e2e.py
