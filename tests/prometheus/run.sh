#!/usr/bin/env bash
# The metrics as Prometheus sees them: Debian's promtool lints the text of the
# demo machine, of a machine whose names need escaping and of the recorded
# Linux trees under tests/linux/trees/, then a real
# Prometheus server scrapes a running widget host (e2e.py). Installs the
# prometheus package (server and promtool) when missing and builds the two
# programs if needed.
set -euo pipefail
cd "$(dirname "$0")"
root="$(cd ../.. && pwd)"

if ! command -v promtool >/dev/null 2>&1 || ! command -v prometheus >/dev/null 2>&1; then
  "$root/scripts/install-deps.sh" prometheus
fi

build="$root/build/default"
if [ ! -x "$build/tools/zor-sensors" ] || [ ! -x "$build/host/zor-widget-host" ]; then
  (cd "$root" && cmake --preset default >/dev/null &&
    cmake --build --preset default -j2 --target zor-sensors zor-widget-host)
fi

echo "== prometheus =="
# promtool prints nothing and exits 0 for a clean text; anything else is a failure.
lint() {
  local what="$1" text="$2" problems
  if ! problems=$(printf '%s\n' "$text" | promtool check metrics 2>&1) || [ -n "$problems" ]; then
    echo "promtool on $what:"
    echo "$problems"
    exit 1
  fi
  echo "promtool: $what lint-clean"
}

demo=$("$build/tools/zor-sensors" --machine demo --prometheus)
grep -q '^zorsensors_temperature_celsius{sensor="talvero.dts.0"' <<<"$demo"
lint "the demo machine" "$demo"

odd=$("$build/tools/zor-sensors" --machine odd-names.plist --prometheus)
# The texts arrive escaped, or the lint would not have anything to check.
grep -qF 'location="Rack \"A\" \\ slot 2\nlower shelf"' <<<"$odd"
grep -qF 'serial="SER\"1\\2"' <<<"$odd"
lint "names with quotes, backslashes and line feeds" "$odd"

# The recorded Linux machines: between them every family appears.
families=""
for tree in "$root"/tests/linux/trees/*/; do
  text=$("$build/tools/zor-sensors" --machine this --root "$tree" --prometheus 2>/dev/null)
  lint "the recorded Linux tree $(basename "$tree")" "$text"
  families+=$(grep -o '^zorsensors_[a-z_]*' <<<"$text" || true)$'\n'
done
for family in temperature_celsius voltage_volts current_amperes power_watts fan_speed_rpm \
  frequency_hertz; do
  grep -qx "zorsensors_$family" <<<"$families" || { echo "no recorded tree has $family"; exit 1; }
done

ZOR_WIDGET_HOST="$build/host/zor-widget-host" python3 e2e.py
