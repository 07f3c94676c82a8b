#!/usr/bin/env bash
# Builds ngx_http_kalyxa_module.so against the nginx that Debian's nginx-dev
# describes, with that package's own configure flags, so that the module
# loads into the nginx package's binary.
#   nginx/build-module.sh SCRATCH OUTPUT "LIBS" [CC_OPT] [LD_OPT]
set -euo pipefail
scratch=$1 output=$2 libs=$3 cc_opt=${4:-} ld_opt=${5:-}
module_dir=$(cd "$(dirname "$0")" && pwd)
source_tree=/usr/share/nginx/src
if [ ! -f "$source_tree/conf_flags" ]; then
  echo "build-module.sh: $source_tree/conf_flags is missing: install nginx-dev" >&2
  exit 1
fi
stamp="$(cat "$module_dir/config") $libs $cc_opt $ld_opt $(cat "$source_tree/conf_flags")"
if [ ! -f "$scratch/objs/Makefile" ] || [ "$(cat "$scratch/.kx-stamp" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "$scratch"
  cp -r "$source_tree" "$scratch"
  # shellcheck disable=SC1091
  source "$scratch/conf_flags"
  (cd "$scratch" && KX_NGINX_LIBS="$libs" ./configure "${NGX_CONF_FLAGS[@]}" \
      ${cc_opt:+"--with-cc-opt=$cc_opt"} ${ld_opt:+"--with-ld-opt=$ld_opt"} \
      --add-dynamic-module="$module_dir" >"$scratch/configure.log" 2>&1) || {
    tail -n 30 "$scratch/configure.log" >&2
    exit 1
  }
  echo "$stamp" >"$scratch/.kx-stamp"
fi
# The host library may have changed without the module's source: link anew.
rm -f "$scratch/objs/ngx_http_kalyxa_module.so"
# Not a sub-make of the caller's: its job server is not ours to use.
MAKEFLAGS= MFLAGS= make -s -j"$(nproc)" -C "$scratch" -f objs/Makefile modules
cp "$scratch/objs/ngx_http_kalyxa_module.so" "$output"
