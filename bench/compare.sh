#!/usr/bin/env bash
# Side-by-side benchmark: the Kestrion driver against kestrion-server, and the
# PostgreSQL ODBC driver (psqlODBC) against a private PostgreSQL 15, both on
# loopback, both through unixODBC with the same client program
# (build/bin/compare_bench). The workloads run interleaved, several rounds;
# the script prints the median rate of each side and their ratio
# (Kestrion / psqlODBC: above 1 means Kestrion is faster).
#
#   bash bench/compare.sh [--rows N] [--rounds N] [--only WORKLOAD,...]
#                         [--driver LIB --server BINARY]
#
# --driver and --server measure another build of the driver and the server
# (for example the one before a change) instead of build/'s.
#
# Installs postgresql and odbc-postgresql with apt-get when they are missing
# (they are needed by this script only). Everything else lives in a scratch
# directory that is removed at the end. Needs root (PostgreSQL runs as the
# postgres user).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

rows=100000
rounds=5
only=""
driver=$root/build/lib/libkestrionodbc.so
server=$root/build/bin/kestrion-server
while [ $# -gt 0 ]; do
  case "$1" in
    --rows) rows=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --driver) driver=$(realpath "$2"); shift 2 ;;
    --server) server=$(realpath "$2"); shift 2 ;;
    *) echo "usage: $0 [--rows N] [--rounds N] [--only WORKLOAD,...] [--driver LIB --server BINARY]" >&2
       exit 2 ;;
  esac
done

pg_bin=/usr/lib/postgresql/15/bin
psqlodbc=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so
if [ ! -x "$pg_bin/postgres" ] || [ ! -f "$psqlodbc" ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq postgresql odbc-postgresql >/dev/null
fi

if [ ! -d build ]; then cmake -S . -B build >/dev/null; fi
if [ "$driver" = "$root/build/lib/libkestrionodbc.so" ] || [ ! -x build/bin/compare_bench ]; then
  cmake --build build --target compare_bench kestrionodbc kestrion-server -j"$(nproc)" >/dev/null
fi

scratch=$(mktemp -d /tmp/kestrion-compare.XXXXXX)
chmod 755 "$scratch"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  if [ -f "$scratch/pg/postmaster.pid" ]; then
    runuser -u postgres -- "$pg_bin/pg_ctl" -D "$scratch/pg" -m fast stop >/dev/null 2>&1 || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# A private PostgreSQL with password login, as an application would use it.
echo bench > "$scratch/password"
mkdir "$scratch/pg"
chown -R postgres "$scratch"
runuser -u postgres -- "$pg_bin/initdb" -D "$scratch/pg" -U bench --pwfile="$scratch/password" \
  --auth=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$scratch/initdb.log" 2>&1
pg_port=$(free_port)
runuser -u postgres -- "$pg_bin/pg_ctl" -D "$scratch/pg" -l "$scratch/pg.log" -w \
  -o "-p $pg_port -k $scratch -c listen_addresses=127.0.0.1" start >/dev/null
PGPASSWORD=bench psql -q -h 127.0.0.1 -p "$pg_port" -U bench -d postgres -c "CREATE DATABASE bench" >/dev/null

# kestrion-server on its own scratch database.
"$server" --database "$scratch/kestrion.db" --listen 127.0.0.1:0 \
  --port-file "$scratch/kestrion.port" --user bench:bench --log-level error >"$scratch/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do [ -s "$scratch/kestrion.port" ] && break; sleep 0.1; done
k_port=$(cat "$scratch/kestrion.port")

# A private unixODBC configuration with both drivers.
cat >"$scratch/odbcinst.ini" <<EOF
[Kestrion]
Driver=$driver

[PostgreSQL Unicode]
Driver=$psqlodbc
EOF
: >"$scratch/odbc.ini"
export ODBCSYSINI=$scratch ODBCINI=$scratch/odbc.ini

kestrion="DRIVER={Kestrion};Server=127.0.0.1;Port=$k_port;UID=bench;PWD=bench"
postgres="DRIVER={PostgreSQL Unicode};Server=127.0.0.1;Port=$pg_port;Database=bench;UID=bench;PWD=bench"
bench=build/bin/compare_bench

echo "setting up $rows rows on both sides..."
"$bench" "$kestrion" setup "$rows" >/dev/null
"$bench" "$postgres" setup "$rows" >/dev/null

workloads="fetch-rowset-1000 fetch-rowset-1 fetch-getdata point-select insert insert-array connect catalog"
if [ -n "$only" ]; then workloads=${only//,/ }; fi

# One line per measurement: workload side rate (operations per second).
results=$scratch/results
: >"$results"
measure() {  # workload side connection
  local out
  out=$("$bench" "$3" "$1" "$rows")
  if [ "$out" = unsupported ]; then
    echo "$1 $2 unsupported" >>"$results"
  else
    echo "$out" | awk -v w="$1" -v s="$2" '{ printf "%s %s %.1f\n", w, s, $1 / $2 }' >>"$results"
  fi
}
for round in $(seq "$rounds"); do
  for w in $workloads; do
    # Alternate which side goes first, so that neither always runs warm.
    if [ $((round % 2)) -eq 1 ]; then
      measure "$w" kestrion "$kestrion"
      measure "$w" psqlodbc "$postgres"
    else
      measure "$w" psqlodbc "$postgres"
      measure "$w" kestrion "$kestrion"
    fi
  done
  echo "round $round of $rounds done"
done

median() {  # workload side
  awk -v w="$1" -v s="$2" '$1 == w && $2 == s { print $3 }' "$results" | sort -g |
    awk '{ v[NR] = $1 } END { if (NR == 0 || v[1] == "unsupported") print "-";
                              else if (NR % 2) print v[(NR + 1) / 2];
                              else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg), $rows rows," \
  "medians of $rounds rounds (operations per second)"
printf '| %-22s | %12s | %12s | %7s |\n' workload Kestrion psqlODBC ratio
printf '|%s|%s|%s|%s|\n' ------------------------ -------------: -------------: --------:
row_insert_pg=$(median insert psqlodbc)
for w in $workloads; do
  k=$(median "$w" kestrion)
  p=$(median "$w" psqlodbc)
  # An array insert is compared with psqlODBC's row-at-a-time insert.
  reference=$p
  if [ "$w" = insert-array ]; then reference=$row_insert_pg; fi
  ratio=$(awk -v k="$k" -v p="$reference" 'BEGIN { if (k == "-" || p == "-" || p == 0) print "-";
                                                   else printf "%.2f", k / p }')
  printf '| %-22s | %12s | %12s | %7s |\n' "$w" "$k" "$p" "$ratio"
done
echo
echo "insert-array: Kestrion with 1000 sets per SQLExecute against psqlODBC's row-at-a-time insert;"
echo "the psqlODBC column shows psqlODBC's own array insert."
