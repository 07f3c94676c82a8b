#!/usr/bin/env bash
# The test directory: slapd in the foreground on 127.0.0.1:PORT serving the
# test forest (two domains, each its own database and naming context) from
# FOLDER, where it is configured and loaded on first use. FOLDER/slapd.pid
# holds slapd's pid once it listens. Needs no root and no service.
#   tests/support/slapd.sh FOLDER PORT
set -euo pipefail
folder=$1
port=$2
data=$(cd "$(dirname "$0")/../data/ldap" && pwd)
PATH=/usr/sbin:$PATH  # Debian's server tools, which a user's PATH may lack

mkdir -p "$folder/db" "$folder/db2"
# slapd wants a database below another one declared first.
cat >"$folder/slapd.conf" <<CONF
include /etc/ldap/schema/core.schema
include /etc/ldap/schema/cosine.schema
include $data/kalyxa-directory.schema
pidfile $folder/slapd.pid
modulepath /usr/lib/ldap
moduleload back_mdb
rootDSE $data/rootdse.ldif
sizelimit unlimited
database monitor
database mdb
maxsize 67108864
suffix "DC=emea,DC=kalyxa,DC=test"
rootdn "CN=admin,DC=emea,DC=kalyxa,DC=test"
rootpw kalyxa-test-admin
directory $folder/db2
database mdb
maxsize 67108864
suffix "DC=kalyxa,DC=test"
rootdn "CN=admin,DC=kalyxa,DC=test"
rootpw kalyxa-test-admin
directory $folder/db
CONF
if [ ! -e "$folder/loaded" ]; then
  slapadd -q -f "$folder/slapd.conf" -b "DC=kalyxa,DC=test" -l "$data/directory.ldif"
  slapadd -q -f "$folder/slapd.conf" -b "DC=emea,DC=kalyxa,DC=test" -l "$data/emea.ldif"
  touch "$folder/loaded"
fi
exec slapd -d 0 -f "$folder/slapd.conf" -h "ldap://127.0.0.1:$port/"
