#!/usr/bin/env bash
# Browser test of the widget: installs Debian's chromium and the test's npm
# packages when missing, builds the widget host and the sensor CLI if needed,
# and drives the widget in headless chromium. The screenshot lands in
# build/default/browser/.
set -euo pipefail
cd "$(dirname "$0")"
root="$(cd ../.. && pwd)"

extra=()
[ -x /usr/bin/chromium ] || extra+=(chromium)
command -v npm >/dev/null 2>&1 || extra+=(nodejs npm)
if [ ${#extra[@]} -gt 0 ]; then
  "$root/scripts/install-deps.sh" "${extra[@]}"
fi

npm ci --no-audit --no-fund --loglevel=error

host="$root/build/default/host/zor-widget-host"
sensors="$root/build/default/tools/zor-sensors"
if [ ! -x "$host" ] || [ ! -x "$sensors" ]; then
  (cd "$root" && cmake --preset default >/dev/null &&
    cmake --build --preset default -j2 --target zor-widget-host zor-sensors)
fi

echo "== browser =="
ZOR_WIDGET_HOST="$host" ZOR_SENSORS="$sensors" ZOR_BROWSER_OUTPUT="$root/build/default/browser" node widget.test.mjs
