#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz and runs each for a bounded time,
# starting from its corpus in tests/fuzz/corpus/<target>/ (new inputs found go to a scratch
# copy, so the kept corpus changes only by hand). Prints one line per target.
# Usage: bench/fuzz.sh [seconds per target, default 60] [target...]
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
shift || true
build=$root/build-fuzz

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DQUIVRA_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$root"/tests/fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
cmake --build "$build" -j "${JOBS:-2}" --target "${targets[@]}" >/dev/null || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for t in "${targets[@]}"; do
  mkdir -p "$work/$t" "$build/fuzz/artifacts/$t"
  log=$build/fuzz/$t.log
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$build/fuzz/artifacts/$t/" -print_final_stats=1 \
    "$work/$t" "$root/tests/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
  if [ $rc -eq 0 ]; then
    echo "$t: ok, ${runs:-?} runs in ${seconds} s, ${cov:-cov: ?}"
  else
    failed=1
    echo "$t: FAILED (exit $rc), ${runs:-?} runs; see $log and $build/fuzz/artifacts/$t/"
  fi
done
exit $failed
