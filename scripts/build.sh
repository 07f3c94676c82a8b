#!/usr/bin/env bash
# Configures and builds one flavour of the tree.
#   scripts/build.sh [normal|asan|tsan]
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-normal}
case "$flavour" in
  normal) dir=build;      sanitize="" ;;
  asan)   dir=build-asan; sanitize="address,undefined" ;;
  tsan)   dir=build-tsan; sanitize="thread" ;;
  *) echo "unknown flavour: $flavour" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -DKX_SANITIZE="$sanitize" -DKX_WERROR=ON >/dev/null
cmake --build "$dir" -j "$(nproc)"
echo "$dir"
