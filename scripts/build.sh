#!/usr/bin/env bash
# Configures and builds. Usage: scripts/build.sh [--sanitize]
#   normal build:    build/       (the driver is build/lib/libkestrionodbc.so)
#   sanitizer build: build-asan/  (AddressSanitizer + UndefinedBehaviorSanitizer)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  flags+=(-DKESTRION_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
# Build trees in other folders (build-package/, other checkouts) reuse the
# compiled objects: ccache leaves the working folder out of its key.
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
