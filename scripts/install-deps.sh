#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; quiet and quick
# when they are already there.
set -euo pipefail

packages=(
  cmake g++ make binutils binutils-mingw-w64-x86-64 cpp g++-mingw-w64-x86-64-posix wine64 dpkg-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  libgumbo-dev libpugixml-dev
  libldap-dev slapd ldap-utils
  libcurl4-openssl-dev libcpp-httplib-dev libhiredis-dev redis-server libsqlite3-dev zlib1g-dev
  nodejs chromium nginx openssl
  nginx-dev libpcre2-dev libssl-dev wrk
)

root="$(cd "$(dirname "$0")/.." && pwd)"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

# The browser test's driver, from the npm registry (npm itself only when the
# node at hand came without it).
install_browser_driver() {
  if ! command -v npm >/dev/null; then
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends npm >/dev/null
  fi
  if [ ! -d "$root/tests/browser/node_modules/puppeteer-core" ]; then
    npm ci --prefix "$root/tests/browser" --no-audit --no-fund --loglevel=error >/dev/null
  fi
}

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
install_browser_driver
