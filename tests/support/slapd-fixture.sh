#!/usr/bin/env bash
# The test directory for programs that cannot start it themselves (the
# Windows tests under wine): ctest starts it before them and stops it after.
#   tests/support/slapd-fixture.sh start FOLDER   # FOLDER/uri then holds its address
#   tests/support/slapd-fixture.sh stop FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
folder=$2
case $1 in
  start)
    rm -rf "$folder"
    mkdir -p "$folder"
    for attempt in 1 2 3 4 5; do
      port=$((20000 + (RANDOM * 7 + attempt) % 40000))
      "$here/slapd.sh" "$folder" "$port" </dev/null >>"$folder/slapd.log" 2>&1 &
      pid=$!
      for _ in $(seq 200); do
        if [ "$(cat "$folder/slapd.pid" 2>/dev/null)" = "$pid" ]; then
          echo "ldap://127.0.0.1:$port" >"$folder/uri"
          exit 0
        fi
        kill -0 "$pid" 2>/dev/null || break  # it gave up: the port was taken
        sleep 0.05
      done
      kill -9 "$pid" 2>/dev/null || true
    done
    cat "$folder/slapd.log" >&2
    exit 1 ;;
  stop)
    if [ -f "$folder/slapd.pid" ]; then
      pid=$(cat "$folder/slapd.pid")
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    fi
    rm -rf "$folder" ;;
  *) echo "usage: $0 start|stop FOLDER" >&2; exit 2 ;;
esac
