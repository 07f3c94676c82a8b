#!/usr/bin/env bash
# Builds everything and runs every test: the layer check, the normal build
# (RelWithDebInfo), the Release build with its benchmarks, the Windows build
# under wine (and its demo against the Linux one), an ASan+UBSan build of the whole suite, a TSan build of the
# concurrency tests, and each libFuzzer target for a short while
# (KX_FUZZ_SECONDS, default 20).
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

scripts/check-layers.sh

run_suite normal
run_suite release

echo "== benchmarks (Release)"
for bench in build-release/bench/kx_*_bench; do
  "$bench" --benchmark_min_time="${KX_BENCH_MIN_TIME:-0.05}"
done

run_suite windows --timeout 120

echo "== the demo from kx-host.exe under wine, byte for byte the Linux one"
scratch=$(mktemp -d)
for language in en-US ja-JP ar-SA zh-CN; do
  build/kx-host demo --language "$language" --out "$scratch/linux.html" >/dev/null
  env WINEDEBUG=-all /usr/lib/wine/wine64 build-windows/kx-host.exe demo --language "$language" \
    --out "$scratch/windows.html" >/dev/null
  cmp "$scratch/linux.html" "$scratch/windows.html"
  echo "$language: $(wc -c <"$scratch/windows.html") bytes, the same"
done
rm -rf "$scratch"
run_suite asan
run_suite tsan -R 'Concurrent|^Worker|FolderMonitor|Holiday'  # and load, request, unload of the real library; the holiday threads

echo "== fuzzers"
fuzz_dir=$(scripts/build.sh fuzz | tail -n 1)
for corpus in fuzz/corpus/*/; do
  target=$(basename "$corpus")_fuzz
  scratch=$(mktemp -d)
  if ! "$fuzz_dir/fuzz/$target" -max_total_time="${KX_FUZZ_SECONDS:-20}" -max_len=16384 -print_final_stats=1 \
      -artifact_prefix="$scratch/" "$scratch" "$corpus" >"$scratch/log" 2>&1; then
    tail -n 60 "$scratch/log"
    echo "$target failed"
    exit 1
  fi
  echo "$target: $(grep -E '^stat::number_of_executed_units' "$scratch/log")"
  rm -rf "$scratch"
done
