#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (AddressSanitizer +
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for SECONDS seconds
# (default 10), as many at once as there are cores. Each run starts from the
# seed corpus fuzz/corpus/<target>/ (which also holds every input that once
# failed, as a regression case) and keeps what it finds in
# build-fuzz/corpus/<target>/. Prints executions and coverage per target.
# Exits non-zero on any finding; the failing input is then in
# build-fuzz/findings/<target>/ and the report in build-fuzz/logs/<target>.log.
#   Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
# Reuse compiled objects across checkouts (see scripts/build.sh).
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(pwd)}
shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKESTRION_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 >/dev/null
cmake --build build-fuzz --target fuzzers -j"$(nproc)" >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in fuzz/*_fuzzer.cpp; do targets+=("$(basename "$src" _fuzzer.cpp)"); done
fi

run_target() {
  local name=$1 seconds=$2
  mkdir -p "build-fuzz/corpus/$name" "build-fuzz/findings/$name" build-fuzz/logs
  # -timeout: one input may take at most 20 s; -rss_limit_mb: 2 GB of memory.
  if "build-fuzz/bin/${name}_fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$name/" \
       "build-fuzz/corpus/$name" "fuzz/corpus/$name" >"build-fuzz/logs/$name.log" 2>&1; then
    echo "$name ok"
  else
    echo "$name FAILED (see build-fuzz/logs/$name.log)"
    return 1
  fi
}
export -f run_target

status=0
printf '%s\n' "${targets[@]}" | xargs -P "$(nproc)" -I{} bash -c "run_target {} $seconds" || status=1
echo "== fuzzing: $seconds s per target =="
for name in "${targets[@]}"; do
  log="build-fuzz/logs/$name.log"
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || echo "?")
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || echo "?")
  printf '%-20s %12s executions  coverage %6s edges  %7s features\n' "$name" "$runs" "$cov" "$ft"
done
exit $status
