#!/usr/bin/env bash
# Installs what the project needs to build, test and run its demo on Debian 12.
set -euo pipefail
packages=(
  build-essential cmake g++ pkg-config ccache
  unixodbc unixodbc-dev odbcinst
  libssl-dev openssl libsqlite3-dev
  libgtest-dev googletest
  libgtk-3-dev fonts-dejavu-core
  xvfb xdotool
  python3 python3-pyodbc
  perl libdbd-odbc-perl
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
