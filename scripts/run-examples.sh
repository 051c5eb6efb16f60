#!/usr/bin/env bash
# Runs the examples of the user guide (examples/) against the development
# server through the Driver Manager, with the driver of a build tree
# registered in a private configuration (never the system files):
# pyodbc, Perl DBI, isql and iusql, the C program; and the driver log set
# through KESTRION_ODBC_LOG. Usage: scripts/run-examples.sh [BUILD_DIR]
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
eval "$(bash scripts/register-driver.sh "$build")"

work=$(mktemp -d)
cleanup() {
  [ -n "${server_pid:-}" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$build/bin/kestrion-server" --sample --listen 127.0.0.1:0 --port-file "$work/port" \
  --user demo:demo --user support:Secret-7 >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port" 2>/dev/null || echo 0)

# The data source the examples name, as the user guide describes it.
cat > "$ODBCINI" <<INI
[KestrionSample]
Driver = Kestrion
Description = Kestrion sample database
Server = 127.0.0.1
Port = $port
INI
dsn="DSN=KestrionSample;UID=demo;PWD=demo"
direct="DRIVER={Kestrion};Server=127.0.0.1;Port=$port;UID=demo;PWD=demo"

passed=0
failed=0
# expect DESCRIPTION TEXT COMMAND...: the command succeeds and prints TEXT.
expect() {
  local what=$1 text=$2
  shift 2
  if "$@" >"$work/out" 2>&1 && { [ -z "$text" ] || grep -qF -- "$text" "$work/out"; }; then
    passed=$((passed + 1))
    echo "ok - $what"
  else
    failed=$((failed + 1))
    echo "FAIL - $what"
    sed 's/^/    /' "$work/out"
  fi
}

expect "pyodbc" "  3  Customer 3" /usr/bin/python3 examples/python/customers.py "$dsn" 3
expect "pyodbc, DSN-less" "orders: " /usr/bin/python3 examples/python/customers.py "$direct"
expect "Perl DBI" "  4  Customer 4" perl examples/perl/customers.pl "$dsn" 4
expect "isql with a data source" "Customer 5" \
  bash -c 'isql -b -v KestrionSample demo demo < examples/isql/customers.sql'
expect "isql -k" "Customer 5" bash -c "isql -b -v -k '$direct' < examples/isql/customers.sql"
expect "iusql" "Customer 5" bash -c 'iusql -b -v KestrionSample demo demo < examples/isql/customers.sql'
expect "C: builds" "" cc -Wall -o "$work/customers" examples/c/customers.c -lodbc
expect "C: runs" "orders: " "$work/customers" "$dsn" 2
expect "connect failure is reported" "08004" \
  bash -c "! /usr/bin/python3 examples/python/customers.py 'DSN=KestrionSample;UID=demo;PWD=wrong'"

# The driver log of the guide: KESTRION_ODBC_LOG=LEVEL:PATH for a whole process.
KESTRION_ODBC_LOG="debug:$work/driver.log" /usr/bin/python3 examples/python/customers.py \
  "DSN=KestrionSample;UID=support;PWD=Secret-7" 2 >/dev/null 2>&1
expect "driver log: one line per request" "EXECUTE-STATEMENT" cat "$work/driver.log"
expect "driver log: one line per call" "call SQLFetch handle" cat "$work/driver.log"
expect "driver log: no password" "" \
  bash -c "! grep -e 'Secret-7' -e 'U2VjcmV0LTc=' '$work/driver.log'"

echo "examples: $passed passed, $failed failed"
[ $failed = 0 ]
