#!/usr/bin/env bash
# Installs everything Velkaro needs to build, test and run on Debian 12.
# Idempotent: packages already present are left alone, and apt-get runs only
# when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs zlib1g-dev
  libgdal-dev gdal-bin
  qt6-base-dev qt6-multimedia-dev qt6-serialport-dev
  fonts-liberation2 xvfb xauth
  gpsd gpsd-clients python3-gps libgps-dev
  libxxhash-dev
  dpkg-dev desktop-file-utils appstream man-db
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  # Without a running init system (a container, a CI job) gpsd's package
  # would try to start its system service and fail the install: tell the
  # package scripts that no service may start, for the time of the install.
  # The tests never use a system gpsd; they start their own on ports of
  # their own, so one that does run cannot disturb them.
  policy=/usr/sbin/policy-rc.d
  if [ ! -d /run/systemd/system ] && [ ! -e "$policy" ]; then
    trap '$sudo rm -f "$policy"' EXIT
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod 755 "$policy"
  fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi

for tool in gpsd gpsfake; do
  command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] ||
    { echo "install-deps: $tool is missing after the install" >&2; exit 1; }
done
