#!/usr/bin/env bash
# Registers the built driver with unixODBC in a private configuration inside
# the build tree (build/odbc/), never in the system files. Prints the
# environment to use it:  eval "$(scripts/register-driver.sh)"
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
root=$(pwd)
conf="$root/$build/odbc"
mkdir -p "$conf"
cat > "$conf/odbcinst.ini" <<INI
[Kestrion]
Description = Kestrion ODBC driver
Driver = $root/$build/lib/libkestrionodbc.so
Setup = $root/$build/lib/libkestrionodbc.so
Threading = 2
UsageCount = 1
INI
[ -f "$conf/odbc.ini" ] || : > "$conf/odbc.ini"
echo "export ODBCSYSINI='$conf' ODBCINSTINI=odbcinst.ini ODBCINI='$conf/odbc.ini'"
