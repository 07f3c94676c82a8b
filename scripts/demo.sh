#!/usr/bin/env bash
# The main job: build the worker and send one OWA request through it with the
# reference host, printing what the worker answered and the page as sent.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh normal >/dev/null
exec build/kx-host demo "$@"
