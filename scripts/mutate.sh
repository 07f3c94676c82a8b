#!/usr/bin/env bash
# Injects small faults, one at a time, and says which the tests catch: each
# patch in scripts/mutants/ is applied to the tree, the normal build is
# rebuilt and the whole suite run; a failing suite has caught the fault.
# The tree is restored after each (and on Ctrl-C). Minutes, not for CI.
#   scripts/mutate.sh [PATCH...]      (default: every scripts/mutants/*.patch)
set -uo pipefail
cd "$(dirname "$0")/.."

patches=("$@")
[ ${#patches[@]} -ne 0 ] || patches=(scripts/mutants/*.patch)
if ! git diff --quiet; then
  echo "mutate.sh: the tree has uncommitted changes; commit or stash them first" >&2
  exit 2
fi
scripts/build.sh normal >/dev/null || exit 2

current=''
restore() { [ -n "$current" ] && git apply -R "$current" && current=''; }
trap 'restore; exit 130' INT TERM

caught=0 survived=0 broken=0
survivors=()
for patch in "${patches[@]}"; do
  name=$(basename "$patch" .patch)
  if ! git apply "$patch"; then
    echo "$name: does not apply"
    broken=$((broken + 1))
    continue
  fi
  current=$patch
  if ! cmake --build build -j "$(nproc)" >/dev/null 2>&1; then
    echo "$name: does not build (fix the patch)"
    broken=$((broken + 1))
  elif (cd build && ctest -j "$(nproc)" --timeout 120 -E BrowserDemo >/dev/null 2>&1); then
    echo "$name: SURVIVED"
    survived=$((survived + 1))
    survivors+=("$name")
  else
    echo "$name: caught"
    caught=$((caught + 1))
  fi
  restore
done
cmake --build build -j "$(nproc)" >/dev/null 2>&1
echo "mutants: $caught caught, $survived survived, $broken broken${survivors:+ (survived: ${survivors[*]})}"
