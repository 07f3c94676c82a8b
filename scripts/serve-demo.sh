#!/usr/bin/env bash
# The demo in a browser, from a built tree: nginx (the nginx package's
# binary) with the module in front of the OWA look-alike (kx-host demo-owa),
# on samples/nginx/demo-site.conf. Ctrl-C ends it.
#   scripts/serve-demo.sh [BUILD_DIR] [--listen HOST:PORT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=build
listen=127.0.0.1:8080
while [ $# -gt 0 ]; do
  case "$1" in
    --listen) listen=$2; shift 2 ;;
    *) build=$1; shift ;;
  esac
done
build=$(cd "$build" && pwd)

scratch=$(mktemp -d /tmp/kx-demo-XXXXXX)
chmod 755 "$scratch"
# nginx started as root runs its workers as nobody, who may not reach the
# build tree: they run a copy of the staged product.
cp -r "$build/stage/Quorvane" "$scratch/"
product="$scratch/Quorvane/Kalyxa"
owa_pid='' nginx_pid=''
cleanup() {
  [ -n "$nginx_pid" ] && kill -QUIT "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  [ -n "$owa_pid" ] && kill "$owa_pid" 2>/dev/null && wait "$owa_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 0' INT TERM

# The OWA look-alike on a free loopback port; it says which.
"$build/kx-host" demo-owa --listen 127.0.0.1:0 >"$scratch/owa.out" &
owa_pid=$!
for _ in $(seq 300); do
  owa=$(sed -n 's|^kx-host: the OWA look-alike at \(http://[^ ]*\)/$|\1|p' "$scratch/owa.out")
  [ -n "$owa" ] && break
  sleep 0.1
done
[ -n "$owa" ] || { echo "serve-demo.sh: the OWA look-alike did not start:" >&2; cat "$scratch/owa.out" >&2; exit 1; }

# nginx started as root runs its workers as nobody: the user store is theirs.
mkdir -p "$scratch/store" "$scratch/temp"
[ "$(id -u)" -ne 0 ] || chown nobody "$scratch/store"
sed -e "s|{SAMPLES}|$root/samples/nginx|g" -e "s|{LISTEN}|$listen|g" -e "s|{CLIENT}|$product/Client|g" \
    -e "s|{OWA}|$owa|g" "$root/samples/nginx/demo-site.conf" >"$scratch/site.conf"
cat >"$scratch/nginx.conf" <<CONF
load_module $build/ngx_http_kalyxa_module.so;
daemon off;
worker_processes 1;
pid $scratch/nginx.pid;
error_log $scratch/error.log notice;
events { worker_connections 256; }
http {
    access_log off;
    client_body_temp_path $scratch/temp/body;
    proxy_temp_path $scratch/temp/proxy;
    kalyxa_worker $product/bin/KX_ServiceWorker.so;
    kalyxa_user_store $scratch/store/user-properties.sqlite;
    include $scratch/site.conf;
}
CONF
/usr/sbin/nginx -p "$scratch" -c "$scratch/nginx.conf" -e "$scratch/error.log" &
nginx_pid=$!
port=${listen##*:}
for _ in $(seq 300); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  kill -0 "$nginx_pid" 2>/dev/null || { cat "$scratch/error.log" >&2; exit 1; }
  sleep 0.1
done
echo "kx-demo: nginx with the worker at http://$listen/ in front of $owa"
echo "Open http://$listen/owa/?ae=Folder&t=IPF.Appointment in a browser; Ctrl-C ends."
wait "$nginx_pid"
