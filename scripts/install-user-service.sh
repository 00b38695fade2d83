#!/usr/bin/env bash
# Installs the widget host as a systemd user service of the current user and
# starts it: builds the host, copies it to ~/.local/bin/zor-widget-host, the
# unit to ~/.config/systemd/user/ and the given host options to
# ~/.config/zorsensors/host.env. Run it again to update the program or the
# options; --remove stops the service and deletes all three.
#   scripts/install-user-service.sh [HOST OPTIONS ...]   e.g. --metrics-listen 0.0.0.0:9101
#   scripts/install-user-service.sh --remove
set -euo pipefail
cd "$(dirname "$0")/.."

name=zor-widget-host
program="$HOME/.local/bin/$name"
config="${XDG_CONFIG_HOME:-$HOME/.config}"
unit="$config/systemd/user/$name.service"
environment="$config/zorsensors/host.env"

if [ "${1:-}" = "--remove" ]; then
  systemctl --user disable --now "$name.service" 2>/dev/null || true
  rm -f "$unit" "$program" "$environment"
  rmdir "$config/zorsensors" 2>/dev/null || true
  systemctl --user daemon-reload 2>/dev/null || true
  echo "Removed the $name user service."
  exit 0
fi

for option in "$@"; do
  case "$option" in
    --stdio) echo "install-user-service: the service serves HTTP; --stdio does not apply" >&2; exit 2 ;;
    *[[:space:]]* | *\"* | *\\*)
      echo "install-user-service: options cannot hold spaces, quotes or backslashes: '$option'" >&2
      exit 2 ;;
  esac
done

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target "$name"
built="build/default/host/$name"
# The host reads its whole command line before --help, so this checks the options.
if ! "$built" --machine this "$@" --help >/dev/null; then
  echo "install-user-service: the host refuses these options: $*" >&2
  exit 2
fi

install -D -m 755 "$built" "$program"
install -D -m 644 "resources/$name.service" "$unit"
mkdir -p "$(dirname "$environment")"
printf 'ZOR_HOST_OPTIONS="%s"\n' "$*" >"$environment"
echo "Installed $program, $unit and $environment"

if ! systemctl --user daemon-reload; then
  echo "install-user-service: no systemd user manager answers; log in through a desktop or" \
    "SSH session (for a machine nobody logs in to: loginctl enable-linger $USER) and run" \
    "this again" >&2
  exit 1
fi
systemctl --user enable "$name.service"
# A restart, so that an update runs the new program and options at once.
systemctl --user restart "$name.service"
echo "Started: the widget at http://127.0.0.1:8941/, its metrics at http://127.0.0.1:8941/metrics"
echo "Status: systemctl --user status $name; log: journalctl --user -u $name"
