#!/usr/bin/env bash
# Runs the test suite of Perl's DBD::ODBC (Debian source package
# libdbd-odbc-perl) against the development server through the Driver Manager,
# with the driver registered in the private configuration of the build tree.
# Not part of CI: it needs the package's sources, which it fetches into a
# temporary directory outside the repository unless one is given.
#
#   bash scripts/dbd-odbc-suite.sh [SOURCE_DIR] [-- PROVE_ARGS...]
#
# SOURCE_DIR is an unpacked DBD-ODBC source tree (with t/*.t). Without it the
# sources are fetched with `apt-get source` (deb-src lines must be enabled).
# The summary of `prove` is the last thing printed; the exit code is prove's.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build}

source_dir=${1:-}
[ "$source_dir" = "--" ] && source_dir=
[ $# -gt 0 ] && shift
[ "${1:-}" = "--" ] && shift

if ! perl -MDBD::ODBC -e1 2>/dev/null; then
  apt-get install -y --no-install-recommends libdbd-odbc-perl libdbi-perl >/dev/null
fi

work=$(mktemp -d /tmp/kestrion-dbd-odbc.XXXXXX)
cleanup() {
  [ -n "${server_pid:-}" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

if [ -z "$source_dir" ]; then
  (cd "$work" && apt-get source --download-only libdbd-odbc-perl >/dev/null 2>&1 || true)
  tarball=$(ls "$work"/libdbd-odbc-perl_*.orig.tar.* 2>/dev/null | head -n 1)
  if [ -z "$tarball" ]; then
    echo "Cannot fetch the DBD::ODBC sources; enable deb-src or pass SOURCE_DIR." >&2
    exit 2
  fi
  tar -xf "$tarball" -C "$work"
  source_dir=$(ls -d "$work"/DBD-ODBC-*/ | head -n 1)
fi
[ -d "$source_dir/t" ] || { echo "No t/ in $source_dir" >&2; exit 2; }

[ -x "$build/bin/kestrion-server" ] && [ -f "$build/lib/libkestrionodbc.so" ] || bash scripts/build.sh
eval "$(bash scripts/register-driver.sh "$build")"

"$root/$build/bin/kestrion-server" --database "$work/dbd.sqlite" --listen 127.0.0.1:0 \
  --port-file "$work/port" --user perl:perl >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")

# A data source of its own, so that the build tree's odbc.ini is left alone.
export ODBCINI="$work/odbc.ini"
cat > "$ODBCINI" <<INI
[KestrionDBD]
Driver = Kestrion
Server = 127.0.0.1
Port = $port
INI
export DBI_DSN=dbi:ODBC:KestrionDBD DBI_USER=perl DBI_PASS=perl

cd "$source_dir"
prove -I t "$@" t/*.t
