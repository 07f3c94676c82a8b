#!/usr/bin/env bash
# Passes when the shared library exports exactly the names given: the ELF
# dynamic symbols it defines, or a PE DLL's export table.
#   exports-check.sh LIBRARY NAME...
set -euo pipefail
library=$1
shift
if [ "$(head -c 2 "$library")" = MZ ]; then
  actual=$(x86_64-w64-mingw32-objdump -p "$library" |
           sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
else
  actual=$(nm -D --defined-only "$library" | awk '{print $3}' | sort)
fi
expected=$(printf '%s\n' "$@" | sort)
if [ "$actual" != "$expected" ]; then
  printf '%s exports:\n%s\nexpected:\n%s\n' "$library" "$actual" "$expected" >&2
  exit 1
fi
