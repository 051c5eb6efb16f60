#!/usr/bin/env bash
# Installs the dependencies, builds the normal and the sanitizer configuration
# and runs every test in both; then runs the thread tests in a ThreadSanitizer
# build and every fuzz target briefly (scripts/fuzz.sh). Exits non-zero on any
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
status=0
for mode in normal sanitize; do
  if [ $mode = normal ]; then dir=build; bash scripts/build.sh; else dir=build-asan; bash scripts/build.sh --sanitize; fi
  echo "== tests ($mode build) =="
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  (cd "$dir" && ctest --output-on-failure -j2 --timeout 600) || status=1
  if [ $mode = normal ]; then
    echo "== examples of the user guide =="
    bash scripts/run-examples.sh build || status=1
    echo "== Debian package: build, install, connect, remove =="
    bash scripts/test-package.sh || status=1
  fi
done

echo "== thread tests (ThreadSanitizer build) =="
bash scripts/build.sh --tsan driver_tests dm_tests kestrionodbc kestrion-server
(
  export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
  build-tsan/bin/driver_tests --gtest_filter='Threads*.*' &&
    build-tsan/bin/dm_tests --gtest_filter='Threads*.*'
) || status=1

echo "== fuzzing =="
bash scripts/fuzz.sh 10 || status=1
exit $status
