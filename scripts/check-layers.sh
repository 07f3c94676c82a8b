#!/usr/bin/env bash
# Checks the layering of the worker's folders against the order written in
# docs/design.md: a folder includes only its own and lower folders (and the
# host contract, "kx/"), the reference host includes only the contract, the
# nginx module only the contract and the host, and
# each folder's library links only libraries of lower folders.
#   scripts/check-layers.sh [ROOT]
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

order=$(grep -m1 -E '^ *include < base <' docs/design.md)
order=${order#"${order%%[! ]*}"}
if [ -z "$order" ]; then
  echo "docs/design.md: no layer order line ('include < base < ...')" >&2
  exit 2
fi

# rank[folder]: position in the order; folders in one "( , )" group share it.
declare -A rank
n=0
for step in $(echo "$order" | sed 's/[(),]/ /g; s/ *< */ < /g'); do
  if [ "$step" = "<" ]; then n=$((n + 1)); else rank[$step]=$n; fi
done

failures=0
fail() { echo "$1"; failures=$((failures + 1)); }

for folder in "${!rank[@]}"; do
  [ "$folder" = include ] && continue
  [ -d "$folder" ] || continue
  while IFS=: read -r file line text; do
    target=$(echo "$text" | sed -E 's/^#include "([^/"]+)\/.*/\1/')
    [ "$target" = "$folder" ] || [ "$target" = kx ] && continue
    if [ -z "${rank[$target]+set}" ]; then
      fail "$file:$line: includes $target/, which is not a layer"
    elif [ "${rank[$target]}" -gt "${rank[$folder]}" ]; then
      fail "$file:$line: $folder/ includes $target/, a higher layer"
    fi
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^#include "[^/"]+/' "$folder")

  cmake_file=$folder/CMakeLists.txt
  if ! grep -q "add_library(kx_$folder " "$cmake_file" 2>/dev/null; then
    fail "$cmake_file: no library kx_$folder"
    continue
  fi
  for dependency in $(grep -ohE "target_link_libraries\(kx_$folder [^)]*\)" "$cmake_file" | grep -oE '\bkx_[a-z]+' | sort -u); do
    name=${dependency#kx_}
    [ "$name" = "$folder" ] || [ "$name" = contract ] && continue
    if [ -z "${rank[$name]+set}" ] || [ "${rank[$name]}" -ge "${rank[$folder]}" ]; then
      fail "$cmake_file: kx_$folder links $dependency, which is not a lower layer"
    fi
  done
done

if [ -d host ]; then
  while IFS=: read -r file line text; do
    fail "$file:$line: the host includes only the contract (kx/) and its own files"
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^#include "[^/"]+/' host | grep -vE ':#include "(kx|host)/')
fi

if [ -d nginx ]; then
  while IFS=: read -r file line text; do
    fail "$file:$line: the nginx module includes only the contract (kx/), the host and its own files"
  done < <(grep -rnE --include='*.h' --include='*.cpp' --include='*.c' '^#include "[^"]+' nginx |
           grep -vE ':#include "((kx|host|nginx)/|kalyxa_host\.h"|ngx_http_kalyxa_[a-z]+\.h")')
fi

if [ "$failures" -ne 0 ]; then
  echo "layer check: $failures violation(s) of the order: $order"
  exit 1
fi
echo "layer check: passed ($order)"
