#!/usr/bin/env bash
# An HTTPS server on loopback (tls_server.js) for the HTTPS client's tests:
# its certificate, for the name "localhost" only, is signed by a test CA.
# ctest starts it before the tests and stops it after.
#   tests/support/tls-fixture.sh start FOLDER
#   tests/support/tls-fixture.sh stop FOLDER
# FOLDER then holds port (the server's), ca.pem (its CA), other-ca.pem (a CA
# that signed nothing of it) and received (every request body that came).
set -euo pipefail
folder=$2
case $1 in
  start)
    rm -rf "$folder"
    mkdir -p "$folder"
    here=$(cd "$(dirname "$0")" && pwd)
    cd "$folder"
    for ca in ca other-ca; do
      openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kalyxa test $ca" \
        -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
        -keyout "$ca.key" -out "$ca.pem" 2>/dev/null
    done
    openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server.key -out server.csr 2>/dev/null
    printf 'subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' >server.ext
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile server.ext \
      -out server.pem 2>/dev/null
    node "$here/tls_server.js" server.key server.pem port received </dev/null >server.log 2>&1 &
    echo $! >pid
    for _ in $(seq 200); do
      [ -s port ] && exit 0
      kill -0 "$(cat pid)" 2>/dev/null || break
      sleep 0.05
    done
    cat server.log >&2
    exit 1 ;;
  stop)
    [ -f "$folder/pid" ] && kill "$(cat "$folder/pid")" 2>/dev/null || true
    rm -rf "$folder" ;;
  *) echo "usage: $0 start|stop FOLDER" >&2; exit 2 ;;
esac
