#!/usr/bin/env bash
# Builds the test suite with AddressSanitizer + UndefinedBehaviorSanitizer and runs every
# test, then builds it with ThreadSanitizer and runs the threaded tests. Any report fails
# the run. Usage: scripts/sanitize_test.sh [address|thread|all]   (default: all)
# JOBS (default: nproc) sets the build and test parallelism.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
which=${1:-all}
jobs=${JOBS:-$(nproc)}
supp=$root/tests/sanitizers

# The test executables are named after their CTest tests.
test_targets() {
  ctest --test-dir "$1" -N | sed -n 's/^ *Test *#[0-9]*: *//p'
}

# -O1 with line tables only: what the sanitizers need for their reports, and close to half
# the compile time of -O2 -g.
configure() {  # folder sanitizer
  cmake -S "$root" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DQUIVRA_SANITIZE="$2" >/dev/null
}

build_tests() {  # folder sanitizer [targets...]
  local dir=$1 kind=$2
  shift 2
  configure "$dir" "$kind"
  local targets=("$@")
  if [ ${#targets[@]} -eq 0 ]; then mapfile -t targets < <(test_targets "$dir"); fi
  cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
}

run_address() {
  local start=$SECONDS
  build_tests build-asan address
  export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
  ctest --test-dir build-asan --output-on-failure -j "$jobs"
  echo "address+undefined: $((SECONDS - start)) s"
}

run_thread() {
  local start=$SECONDS
  local threaded=(download_tests video_tests account_tests search_tests app_tests base_tests cli_tests)
  build_tests build-tsan thread "${threaded[@]}"
  export TSAN_OPTIONS="suppressions=$supp/tsan.supp:halt_on_error=1:second_deadlock_stack=1:report_signal_unsafe=0"
  local pattern
  pattern="^($(IFS='|'; echo "${threaded[*]}"))\$"
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" -R "$pattern"
  echo "thread: $((SECONDS - start)) s"
}

case $which in
  address) run_address ;;
  thread) run_thread ;;
  all) run_address; run_thread ;;
  *) echo "usage: $0 [address|thread|all]" >&2; exit 2 ;;
esac
