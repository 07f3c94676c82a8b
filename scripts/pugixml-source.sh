#!/usr/bin/env bash
# Fetches the source of the pugixml Debian ships (the Windows build compiles
# it with mingw-w64) into FOLDER and prints the folder of pugixml.cpp. Quick when it is
# there already. Uses a source list of its own: the machine's needs none.
#   scripts/pugixml-source.sh FOLDER
set -euo pipefail
folder=$(mkdir -p "$1" && cd "$1" && pwd)
existing=$(find "$folder" -maxdepth 2 -path '*/src/pugixml.cpp' -printf '%h\n' 2>/dev/null | head -n 1)
if [ -n "$existing" ]; then
  echo "$existing"
  exit 0
fi
apt_dir="$folder/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources"
cat >"$apt_dir/sources/debian-src.sources" <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
apt_options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt_dir/sources"
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o APT::Sandbox::User=root -qq)
apt-get "${apt_options[@]}" update >/dev/null
version=$(dpkg-query -W -f='${source:Version}' libpugixml-dev)
(cd "$folder" && apt-get "${apt_options[@]}" source --download-only "pugixml=$version" >/dev/null)
tar -xzf "$folder"/pugixml_*.orig.tar.gz -C "$folder"
rm -rf "$apt_dir"
dirname "$(find "$folder" -maxdepth 3 -path '*/src/pugixml.cpp' | head -n 1)"
