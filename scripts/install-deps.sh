#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the widget need, and
# only those that are missing, so a fresh machine needs nothing else.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config python3
          libplist-dev libplist++-dev libicu-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
          libcpp-httplib-dev nlohmann-json3-dev libssl-dev
          libgtest-dev libgmock-dev libbenchmark-dev
          clang libclang-rt-dev llvm)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
