#!/usr/bin/env bash
# Fetches the source of a library Debian ships, at the version this machine
# has installed and with Debian's patches applied, into FOLDER and prints the
# folder it unpacked to
# (the Windows build compiles pugixml and cpp-httplib with mingw-w64). Quick
# when it is there already. Uses a source list of its own: the machine's
# needs none.
#   scripts/debian-source.sh SOURCE-PACKAGE INSTALLED-PACKAGE FOLDER
set -euo pipefail
source_package=$1 installed=$2
folder=$(mkdir -p "$3" && cd "$3" && pwd)
version=$(dpkg-query -W -f='${source:Version}' "$installed")
unpacked="$folder/$source_package-${version#*:}"
if [ -d "$unpacked" ]; then
  echo "$unpacked"
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
(cd "$folder" && apt-get "${apt_options[@]}" source --download-only "$source_package=$version" >/dev/null)
dpkg-source -x --no-check "$folder/${source_package}_${version#*:}.dsc" "$unpacked" >/dev/null
rm -rf "$apt_dir" "$folder/${source_package}_"*
echo "$unpacked"
