#!/usr/bin/env bash
# Installs the Debian package as a user would and takes it away again:
# builds it (scripts/package.sh), installs it with dpkg -i, connects with isql
# through the registered driver name Kestrion and through a system data
# source to the packaged development server, removes it, and checks that the
# driver is unregistered, its files are gone and the data source is still
# there. Needs root. The system's odbcinst.ini and odbc.ini are put back as
# they were, whatever happens.
set -uo pipefail
cd "$(dirname "$0")/.."
unset ODBCSYSINI ODBCINSTINI ODBCINI

if [ "$(id -u)" != 0 ] || ! command -v dpkg >/dev/null; then
  echo "package test skipped: needs root and dpkg"
  exit 0
fi
if dpkg-query -W -f='${Status}' kestrion-odbc 2>/dev/null | grep -q "install ok installed"; then
  echo "package test skipped: kestrion-odbc is already installed on this machine"
  exit 0
fi

work=$(mktemp -d)
installed=0
cleanup() {
  [ -n "${server_pid:-}" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  [ $installed = 1 ] && dpkg_retry --purge kestrion-odbc >/dev/null 2>&1
  for f in odbcinst.ini odbc.ini; do
    if [ -f "$work/$f.saved" ]; then cp -p "$work/$f.saved" "/etc/$f"; else rm -f "/etc/$f"; fi
  done
  rm -rf "$work"
}
trap cleanup EXIT
for f in odbcinst.ini odbc.ini; do [ -f "/etc/$f" ] && cp -p "/etc/$f" "$work/$f.saved"; done

# dpkg refuses to start while another package operation holds its lock.
dpkg_retry() {
  local out
  for _ in $(seq 1 60); do
    if out=$(dpkg "$@" 2>&1); then echo "$out"; return 0; fi
    grep -q "lock" <<<"$out" || { echo "$out"; return 1; }
    sleep 2
  done
  echo "$out"
  return 1
}

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@" >"$work/check.out" 2>&1; then
    passed=$((passed + 1))
    echo "ok - $what"
  else
    failed=$((failed + 1))
    echo "FAIL - $what"
    sed 's/^/    /' "$work/check.out"
  fi
}

echo "== building the package"
deb=$(bash scripts/package.sh | tail -n 1) || { echo "FAIL - package build"; echo "0 passed, 1 failed"; exit 1; }
echo "$(basename "$deb")"
multiarch=$(gcc -print-multiarch)
driver=/usr/lib/$multiarch/odbc/libkestrionodbc.so

echo "== dpkg -i"
check "dpkg -i installs the package" dpkg_retry -i "$deb"
installed=1
check "the driver is in the multiarch ODBC folder" test -f "$driver"
check "the development server is in /usr/bin" test -x /usr/bin/kestrion-server
check "the user guide is in /usr/share/doc" test -f /usr/share/doc/kestrion-odbc/user-guide.md
check "the driver is registered as Kestrion" grep -q "^Driver *= *$driver" <(odbcinst -q -d -n Kestrion)
check "the registration names the library as Setup" grep -q "^Setup *= *$driver" <(odbcinst -q -d -n Kestrion)
check "the registration has unixODBC serialise the calls of each connection" grep -q "^Threading *= *2" <(odbcinst -q -d -n Kestrion)

/usr/bin/kestrion-server --sample --listen 127.0.0.1:0 --port-file "$work/port" \
  --user demo:demo >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port" 2>/dev/null || echo 0)

echo "== isql through the registered name"
query() {  # query ISQL-ARGUMENTS... : prints the rows of a fixed query
  echo "SELECT name FROM customers WHERE id = 1" | isql -b -v "$@" 2>&1
}
check "isql -k DRIVER={Kestrion} connects and queries" \
  grep -q "Customer 1" <(query -k "DRIVER={Kestrion};Server=127.0.0.1;Port=$port;UID=demo;PWD=demo")
# A system data source naming the driver, as an administrator would write it.
cat >> /etc/odbc.ini <<INI

[KestrionPackageCheck]
Driver = Kestrion
Server = 127.0.0.1
Port = $port
INI
check "isql through a data source naming Kestrion" grep -q "Customer 1" <(query KestrionPackageCheck demo demo)

echo "== dpkg -r"
check "dpkg -r removes the package" dpkg_retry -r kestrion-odbc
installed=$(dpkg-query -W -f='${Status}' kestrion-odbc 2>/dev/null | grep -q "install ok installed" && echo 1 || echo 0)
check "the driver is no longer registered" bash -c '! odbcinst -q -d -n Kestrion'
check "the driver's files are gone" bash -c "! test -e '$driver' && ! test -e /usr/bin/kestrion-server"
check "the data source is left alone" grep -q "^\[KestrionPackageCheck\]" /etc/odbc.ini
dpkg_retry --purge kestrion-odbc >/dev/null 2>&1
installed=0

echo "package: $passed passed, $failed failed"
[ $failed = 0 ]
