#!/usr/bin/env bash
# The main job: installs what is needed, builds, registers the driver with
# unixODBC in a private configuration inside the build tree, starts the
# development server with its sample data on a free loopback port, and
# queries it through the Driver Manager with isql and with pyodbc.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
eval "$(bash scripts/register-driver.sh build)"

work=$(mktemp -d)
cleanup() {
  [ -n "${server_pid:-}" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

build/bin/kestrion-server --sample --listen 127.0.0.1:0 --port-file "$work/port" \
  --user demo:demo >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
echo "kestrion-server with sample data on 127.0.0.1:$port"

cat > "$ODBCINI" <<INI
[KestrionDemo]
Driver = Kestrion
Description = Kestrion demo data source
Server = 127.0.0.1
Port = $port
UID = demo
PWD = demo
INI

echo
echo "== isql KestrionDemo"
isql -v -b KestrionDemo <<'SQL' || true
SELECT id, name, email, created FROM customers ORDER BY id LIMIT 5
SELECT code, title, price, stock FROM products WHERE stock < 20 ORDER BY stock LIMIT 5
SELECT customer, COUNT(*) AS orders, ROUND(SUM(total), 2) AS spent FROM order_totals GROUP BY customer ORDER BY spent DESC LIMIT 3
SQL
echo
echo "== pyodbc"
/usr/bin/python3 scripts/demo.py KestrionDemo || true
