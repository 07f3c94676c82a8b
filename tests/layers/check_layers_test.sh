#!/usr/bin/env bash
# The layer check passes on the tree and fails on an upward include, an
# include of a folder that is no layer, an upward link and a host that
# includes the worker.
set -uo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
check=$repo/scripts/check-layers.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

expect() {  # name, expected exit code, expected text, root
  local output code
  output=$("$check" "$4" 2>&1); code=$?
  if [ "$code" -ne "$2" ] || ! grep -qF -- "$3" <<<"$output"; then
    echo "FAILED $1: exit $code, output:"; echo "$output"; failures=$((failures + 1))
  else
    echo "ok $1"
  fi
}

tree() {  # a small tree with the repository's layer order
  rm -rf "$scratch/t"; mkdir -p "$scratch/t/docs" "$scratch/t/base" "$scratch/t/dom" "$scratch/t/host"
  cp "$repo/docs/design.md" "$scratch/t/docs/"
  printf 'add_library(kx_base STATIC a.cpp)\ntarget_link_libraries(kx_base PUBLIC kx_contract)\n' >"$scratch/t/base/CMakeLists.txt"
  printf 'add_library(kx_dom STATIC b.cpp)\ntarget_link_libraries(kx_dom PUBLIC kx_base)\n' >"$scratch/t/dom/CMakeLists.txt"
  printf '#include "kx/win_types.h"\n' >"$scratch/t/base/a.h"
  printf '#include "base/a.h"\n#include "dom/b.h"\n' >"$scratch/t/dom/b.cpp"
  printf '#include "kx/host_abi.h"\n#include "host/x.h"\n' >"$scratch/t/host/x.cpp"
}

expect "repository" 0 "layer check: passed" "$repo"
tree; expect "small tree" 0 "layer check: passed" "$scratch/t"
tree; printf '#include <string>\n#include "dom/b.h"\n' >>"$scratch/t/base/a.h"
expect "upward include" 1 "base/a.h:3: base/ includes dom/, a higher layer" "$scratch/t"
tree; printf '#include "tests/support/x.h"\n' >>"$scratch/t/dom/b.cpp"
expect "include of no layer" 1 "dom/b.cpp:3: includes tests/, which is not a layer" "$scratch/t"
tree; printf 'target_link_libraries(kx_base PRIVATE kx_dom)\n' >>"$scratch/t/base/CMakeLists.txt"
expect "upward link" 1 "kx_base links kx_dom, which is not a lower layer" "$scratch/t"
tree; printf '#include "entry/notifications.h"\n' >>"$scratch/t/host/x.cpp"
expect "host includes the worker" 1 "host/x.cpp:3: the host includes only the contract" "$scratch/t"

[ "$failures" -eq 0 ] && echo "6 passed, 0 failed" || { echo "$((6 - failures)) passed, $failures failed"; exit 1; }
