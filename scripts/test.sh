#!/usr/bin/env bash
# Builds everything and runs every test: the normal build, an ASan+UBSan
# build of the whole suite and a TSan build of the concurrency tests.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

run_suite() {  # flavour, extra ctest arguments...
  local flavour=$1; shift
  local dir
  dir=$(scripts/build.sh "$flavour" | tail -n 1)
  echo "== $flavour tests"
  (cd "$dir" && ctest --output-on-failure -j "$(nproc)" "$@")
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

run_suite normal
run_suite asan
run_suite tsan -R Concurrent
