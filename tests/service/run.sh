#!/usr/bin/env bash
# The user service's install script in a home folder of its own, with a
# stand-in systemctl that records its calls: what it installs where, the
# options it keeps, the options it refuses, and --remove. systemd-analyze
# checks the installed unit where it is available.
set -euo pipefail
cd "$(dirname "$0")"
root="$(cd ../.. && pwd)"
work=$(mktemp -d /tmp/zor-service-test-XXXXXX)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin" "$work/home"
cat >"$work/bin/systemctl" <<STUB
#!/bin/sh
echo "\$*" >>"$work/systemctl.log"
STUB
chmod +x "$work/bin/systemctl"
run() { env -u XDG_CONFIG_HOME HOME="$work/home" PATH="$work/bin:$PATH" "$root/scripts/install-user-service.sh" "$@"; }
check() { if ! eval "$1"; then echo "FAIL: $2"; exit 1; fi; }

echo "== service =="
run --metrics-listen 0.0.0.0:9101 >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
program="$work/home/.local/bin/zor-widget-host"
unit="$work/home/.config/systemd/user/zor-widget-host.service"
environment="$work/home/.config/zorsensors/host.env"
check 'cmp -s "$program" "$root/build/default/host/zor-widget-host" && [ -x "$program" ]' \
  "the host program is not in ~/.local/bin"
check 'cmp -s "$unit" "$root/resources/zor-widget-host.service"' "the unit is not installed"
check '[ "$(cat "$environment")" = "ZOR_HOST_OPTIONS=\"--metrics-listen 0.0.0.0:9101\"" ]' \
  "the options are not kept: $(cat "$environment")"
check 'grep -qx -- "--user enable zor-widget-host.service" "$work/systemctl.log" &&
       grep -qx -- "--user restart zor-widget-host.service" "$work/systemctl.log"' \
  "the service was not enabled and started: $(cat "$work/systemctl.log")"

if command -v systemd-analyze >/dev/null 2>&1; then
  mkdir -m 700 "$work/runtime"
  if ! problems=$(HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
    systemd-analyze --user verify "$unit" 2>&1) || [ -n "$problems" ]; then
    echo "FAIL: systemd-analyze on the unit:"
    echo "$problems"
    exit 1
  fi
fi

for bad in "--metrics-listen 9101" "--stdio" "--prefs a\ b"; do
  # shellcheck disable=SC2086
  if eval run $bad >"$work/bad.log" 2>&1; then
    echo "FAIL: install-user-service took '$bad'"
    exit 1
  fi
  check 'grep -q "ZOR_HOST_OPTIONS=\"--metrics-listen 0.0.0.0:9101\"" "$environment"' \
    "refused options '$bad' replaced the kept ones"
done

run --remove >"$work/remove.log" 2>&1
check '[ ! -e "$program" ] && [ ! -e "$unit" ] && [ ! -e "$environment" ]' \
  "--remove left files behind"
check 'grep -qx -- "--user disable --now zor-widget-host.service" "$work/systemctl.log"' \
  "--remove did not stop the service"
echo "service: installs, keeps its options, refuses bad ones and removes itself"
