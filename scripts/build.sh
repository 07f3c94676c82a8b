#!/usr/bin/env bash
# Configures and builds one flavour of the tree.
#   scripts/build.sh [normal|release|asan|tsan|fuzz|windows]
# normal is RelWithDebInfo (what the install uses), release is Release;
# windows cross-builds the 64-bit Windows DLLs with mingw-w64.
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-normal}
extra=()
case "$flavour" in
  normal) dir=build;      sanitize="" ;;
  release) dir=build-release; sanitize=""; extra=(-DCMAKE_BUILD_TYPE=Release) ;;
  asan)   dir=build-asan; sanitize="address,undefined" ;;
  tsan)   dir=build-tsan; sanitize="thread" ;;
  fuzz)   dir=build-fuzz; sanitize="address,undefined"
          extra=(-DCMAKE_CXX_COMPILER=clang++ -DKX_BUILD_FUZZERS=ON -DKX_BUILD_TESTS=OFF -DKX_BUILD_BENCHMARKS=OFF) ;;
  windows) dir=build-windows; sanitize=""
          pugixml=$(scripts/debian-source.sh pugixml libpugixml-dev "$dir/_deps")
          httplib=$(scripts/debian-source.sh cpp-httplib libcpp-httplib-dev "$dir/_deps")
          extra=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DKX_BUILD_BENCHMARKS=OFF
                 "-DKX_PUGIXML_SOURCE=$pugixml/src" "-DKX_HTTPLIB_SOURCE=$httplib") ;;
  *) echo "unknown flavour: $flavour" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -DKX_SANITIZE="$sanitize" -DKX_WERROR=ON "${extra[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
echo "$dir"
