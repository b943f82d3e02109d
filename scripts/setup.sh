#!/usr/bin/env bash
# Installs the Debian packages Fidora needs to build, test and run, when any is missing.
# Safe to run again: it does nothing when everything is present.
set -euo pipefail

packages=(
  g++ clang libclang-rt-14-dev cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins fonts-dejavu-core libfmt-dev libgtest-dev libgmock-dev
  libbenchmark-dev python3 python3-dbfread python3-dbf libdbd-xbase-perl
  xvfb x11-utils systemd locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo apt-get update -qq && sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
    exit 0
  fi
  echo "Not root and no sudo. Run as root:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
