#!/usr/bin/env bash
# Configures and builds. Usage: scripts/build.sh [--sanitize | --tsan] [TARGET...]
#   normal build:    build/       (the driver is build/lib/libkestrionodbc.so)
#   sanitizer build: build-asan/  (AddressSanitizer + UndefinedBehaviorSanitizer)
#   thread build:    build-tsan/  (ThreadSanitizer)
# With TARGETs only those are built (and what they need); otherwise everything.
# The libFuzzer targets have their own script: scripts/fuzz.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
flags=()
case "${1:-}" in
  --sanitize)
    dir=build-asan
    flags+=(-DKESTRION_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
    shift ;;
  --tsan)
    dir=build-tsan
    flags+=(-DKESTRION_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo)
    shift ;;
esac
# Build trees in other folders (build-package/, other checkouts) reuse the
# compiled objects: ccache leaves the working folder out of its key and sees
# the paths inside the checkout as relative ones.
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(pwd)}
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
