#!/usr/bin/env bash
# Builds the Debian package kestrion-odbc_<version>_<arch>.deb with CPack, in
# its own build tree configured for the prefix /usr (build-package/, or the
# folder given as first argument). Prints the package's path on the last line.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
# The objects compiled for build/ (scripts/build.sh) serve here too.
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(pwd)}
cmake -S . -B "$dir" -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
# Only what the package carries: the driver, the development server, and the
# setup module and data-source command where this tree has them.
targets=(kestrionodbc kestrion-server)
available=$(cmake --build "$dir" --target help)
for t in kestrionodbc-gtk kestrion-odbc-dsn; do
  grep -qE "^\.\.\. $t( |$)" <<<"$available" && targets+=("$t")
done
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"
rm -rf "$dir/package"
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$(pwd)/$dir"/package/kestrion-odbc_*.deb
