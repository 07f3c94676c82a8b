#!/usr/bin/env bash
# The main job: build the worker and send one OWA request through it with the
# reference host, printing what the worker answered and the page as sent.
# With --serve [--listen HOST:PORT]: the demo in a browser, nginx with the
# module in front of a small OWA look-alike.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh normal >/dev/null
if [ "${1:-}" = --serve ]; then
  shift
  exec scripts/serve-demo.sh build "$@"
fi
exec build/kx-host demo "$@"
