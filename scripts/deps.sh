#!/usr/bin/env bash
# Installs the Debian packages the monitor and its tests need, when missing.
set -euo pipefail
packages=(cmake g++ ninja-build ccache pkg-config
          qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite qt6-charts-dev
          libgtest-dev googletest clang libclang-rt-14-dev sqlite3 libsqlite3-dev poppler-utils
          mdbtools-dev libqt6sql6-psql libpq-dev postgresql-15
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
