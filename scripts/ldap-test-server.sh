#!/usr/bin/env bash
# A throwaway OpenLDAP server (slapd, back_mdb) that holds the demo directory, for tests.
#
#   scripts/ldap-test-server.sh start [FOLDER]   start it and print the connection values
#   scripts/ldap-test-server.sh env [FOLDER]     print the connection values again
#   scripts/ldap-test-server.sh stop [FOLDER]    stop the server and remove its folder
#   scripts/ldap-test-server.sh revive [FOLDER]  start a server that was killed again, on its port
#                                                 with its database; prints the values anew
#
# FOLDER holds everything: configuration (cn=config), database, socket, log, password file. It
# defaults to $PARVON_LDAP_DIR; without either, start makes a new folder under ${TMPDIR:-/tmp}.
# The connection values come as shell assignments, also kept in FOLDER/env:
#   eval "$(scripts/ldap-test-server.sh start)"; ...; scripts/ldap-test-server.sh stop
#     PARVON_LDAP_DIR            the folder
#     PARVON_LDAP_URL            ldap://127.0.0.1:PORT (a free port)
#     PARVON_LDAP_LDAPI_URL      ldapi:// socket in the folder
#     PARVON_LDAP_BASE           base DN; the directory tree is the base entry
#     PARVON_LDAP_BIND_DN        the root DN
#     PARVON_LDAP_PASSWORD_FILE  its password, in a file readable by its owner only (no newline)
#     PARVON_LDAP_PID            the server's process id
#
# start reads:
#   PARVON_LDAP_BASE   base DN, "dc=..." first (default dc=schule,dc=test)
#   PARVON_LDAP_LDIF   an LDIF export of parvon-dirtool to load instead of the demo tree
#   PARVON_DIRTOOL     the parvon-dirtool that exports the demo tree
#                      (default build/release/tools/parvon-dirtool)
#
# The server takes the password-modify extended operation (each user may set their own password,
# the root DN every password; stored as {SSHA}) and paged results: a plain search returns at most
# 500 entries, a paged one any number. The owner of the folder manages cn=config over the ldapi
# socket (SASL EXTERNAL). Without slapd the script exits with status 77.
set -euo pipefail

Root=$(cd "$(dirname "$0")/.." && pwd -P)
Schemas=(/etc/ldap/schema/core /etc/ldap/schema/cosine /etc/ldap/schema/inetorgperson /etc/ldap/schema/nis
         "$Root/ldap/parvon")
export PATH="$PATH:/usr/sbin:/sbin"

Fail() {
  echo "ldap-test-server: $*" >&2
  exit 1
}

# A path as the host part of an ldapi:// URL: everything but unreserved characters %-escaped.
UrlPath() {
  local Text=$1 Out="" C I
  for ((I = 0; I < ${#Text}; ++I)); do
    C=${Text:I:1}
    case "$C" in
      [A-Za-z0-9._~-]) Out+=$C ;;
      *) Out+=$(printf '%%%02X' "'$C") ;;
    esac
  done
  printf '%s' "$Out"
}

# The folder of a server, or of a start that failed (it keeps the logs until stop).
Folder() {
  local Dir=${1:-${PARVON_LDAP_DIR:-}}
  [ -n "$Dir" ] || Fail "no folder: give one or set PARVON_LDAP_DIR"
  [ -f "$Dir/env" ] || [ -d "$Dir/slapd.d" ] || Fail "$Dir holds no test server"
  printf '%s' "$Dir"
}

# One line of the env file: export NAME='VALUE'.
Assign() {
  local Q="'\\''"
  printf "export %s='%s'\n" "$1" "${2//\'/$Q}"
}

# Whether the process runs (a finished one that nobody reaped yet does not).
Alive() {
  local State
  State=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) && [ -n "$State" ] && [ "$State" != Z ]
}

PortInUse() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

WriteConfig() {
  local Dir=$1 Base=$2 Hash=$3 Module=""
  [ -e /usr/lib/ldap/back_mdb.so ] && Module="dn: cn=module{0},cn=config
objectClass: olcModuleList
cn: module{0}
olcModulePath: /usr/lib/ldap
olcModuleLoad: back_mdb
"
  cat <<EOF
dn: cn=config
objectClass: olcGlobal
cn: config
olcPidFile: $Dir/slapd.pid
olcArgsFile: $Dir/slapd.args

$Module
dn: cn=schema,cn=config
objectClass: olcSchemaConfig
cn: schema

EOF
  local S
  for S in "${Schemas[@]}"; do
    cat "$S.ldif"
    echo
  done
  cat <<EOF
dn: olcDatabase={-1}frontend,cn=config
objectClass: olcDatabaseConfig
objectClass: olcFrontendConfig
olcDatabase: {-1}frontend
olcPasswordHash: {SSHA}
olcSizeLimit: size.soft=500 size.hard=500 size.pr=unlimited size.prtotal=unlimited
olcAccess: {0}to dn.base="" by * read
olcAccess: {1}to dn.base="cn=Subschema" by * read

dn: olcDatabase={0}config,cn=config
objectClass: olcDatabaseConfig
olcDatabase: {0}config
olcAccess: {0}to * by dn.exact=gidNumber=$(id -g)+uidNumber=$(id -u),cn=peercred,cn=external,cn=auth manage by * none

dn: olcDatabase={1}mdb,cn=config
objectClass: olcDatabaseConfig
objectClass: olcMdbConfig
olcDatabase: {1}mdb
olcDbDirectory: $Dir/data
olcDbMaxSize: 4294967296
olcDbNoSync: TRUE
olcSuffix: $Base
olcRootDN: cn=admin,$Base
olcRootPW: $Hash
olcDbIndex: objectClass eq
olcDbIndex: uidNumber,gidNumber eq
olcDbIndex: cn,sn,givenName,fullName eq,sub
olcDbIndex: o,ou eq
olcDbIndex: member,groupMembership,hostServer eq
olcDbIndex: wMNetworkAddress eq
olcAccess: {0}to attrs=userPassword by self write by anonymous auth by * none
olcAccess: {1}to * by users read by * none
EOF
}

# The directory to load: the given export, else the demo tree of a fresh store.
ExportLdif() {
  local Dir=$1
  if [ -n "${PARVON_LDAP_LDIF:-}" ]; then
    cat "$PARVON_LDAP_LDIF"
    return
  fi
  local Tool=${PARVON_DIRTOOL:-$Root/build/release/tools/parvon-dirtool}
  [ -x "$Tool" ] || Fail "$Tool is missing: build it with
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build build/release --target parvon-dirtool
or name another one in PARVON_DIRTOOL"
  "$Tool" --store "$Dir/store" demo >/dev/null
  "$Tool" --store "$Dir/store" export SCHULE
  rm -rf "$Dir/store"
}

# Starts slapd on a free port; prints its process id.
Launch() {
  local Dir=$1 Ldapi=$2 Port Pid
  for _ in 1 2 3 4 5 6 7 8; do
    Port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    PortInUse "$Port" && continue
    setsid slapd -d none -F "$Dir/slapd.d" -h "ldap://127.0.0.1:$Port/ $Ldapi" \
      </dev/null >>"$Dir/slapd.log" 2>&1 &
    Pid=$!
    # Up once it answers; a port taken meanwhile ends it, and the next try takes another.
    for _ in $(seq 200); do
      if ! Alive "$Pid"; then
        Pid=""
        break
      fi
      if ldapwhoami -x -H "$Ldapi" -D "cn=admin,$PARVON_LDAP_BASE" -y "$Dir/rootpw" >/dev/null 2>&1; then
        echo "$Pid $Port"
        return
      fi
      sleep 0.05
    done
    [ -n "$Pid" ] && kill "$Pid" 2>/dev/null
    grep -q -i "bind" "$Dir/slapd.log" || break
  done
  tail -n 20 "$Dir/slapd.log" >&2
  Fail "slapd did not start (log: $Dir/slapd.log)"
}

Start() {
  if ! command -v slapd >/dev/null || ! command -v ldapwhoami >/dev/null; then
    echo "ldap-test-server: slapd or ldap-utils missing (scripts/install-deps.sh installs them)" >&2
    exit 77
  fi
  : "${PARVON_LDAP_BASE:=dc=schule,dc=test}"
  [[ "$PARVON_LDAP_BASE" =~ ^[Dd][Cc]= ]] || Fail "the base DN \"$PARVON_LDAP_BASE\" must start with dc="
  umask 077
  local Dir
  if [ -n "${1:-${PARVON_LDAP_DIR:-}}" ]; then
    Dir=${1:-$PARVON_LDAP_DIR}
    mkdir -p "$Dir"
    [ -z "$(ls -A "$Dir")" ] || Fail "$Dir is not empty"
    Dir=$(cd "$Dir" && pwd -P)
  else
    Dir=$(mktemp -d "${TMPDIR:-/tmp}/parvon-ldap.XXXXXX")
  fi
  local Ldapi
  Ldapi="ldapi://$(UrlPath "$Dir/ldapi")"
  [ ${#Dir} -lt 100 ] || Fail "$Dir is too long a path for the ldapi socket"

  head -c 18 /dev/urandom | base64 | tr '+/' '-_' | tr -d '\n' >"$Dir/rootpw"
  mkdir "$Dir/slapd.d" "$Dir/data"
  WriteConfig "$Dir" "$PARVON_LDAP_BASE" "$(slappasswd -h '{SSHA}' -T "$Dir/rootpw")" >"$Dir/config.ldif"
  slapadd -n 0 -F "$Dir/slapd.d" -l "$Dir/config.ldif" >"$Dir/slapadd.log" 2>&1 ||
    { cat "$Dir/slapadd.log" >&2; Fail "the configuration was refused"; }
  local Parts=()
  for S in "${Schemas[@]}"; do Parts+=("$S.schema"); done
  ExportLdif "$Dir" >"$Dir/export.ldif"
  perl "$Root/ldap/ldif-tool.pl" load "$PARVON_LDAP_BASE" "${Parts[@]}" <"$Dir/export.ldif" >"$Dir/data.ldif"
  # Quick mode: a throwaway database needs neither the consistency checks nor a sync per entry.
  slapadd -q -F "$Dir/slapd.d" -b "$PARVON_LDAP_BASE" -l "$Dir/data.ldif" >>"$Dir/slapadd.log" 2>&1 ||
    { cat "$Dir/slapadd.log" >&2; Fail "the directory was refused (data: $Dir/data.ldif)"; }

  local Pid Port
  read -r Pid Port < <(Launch "$Dir" "$Ldapi")
  [ -n "$Pid" ] || exit 1
  rm -f "$Dir/config.ldif"
  {
    Assign PARVON_LDAP_DIR "$Dir"
    Assign PARVON_LDAP_URL "ldap://127.0.0.1:$Port"
    Assign PARVON_LDAP_LDAPI_URL "$Ldapi"
    Assign PARVON_LDAP_BASE "$PARVON_LDAP_BASE"
    Assign PARVON_LDAP_BIND_DN "cn=admin,$PARVON_LDAP_BASE"
    Assign PARVON_LDAP_PASSWORD_FILE "$Dir/rootpw"
    Assign PARVON_LDAP_PID "$Pid"
  } >"$Dir/env"
  cat "$Dir/env"
}

Stop() {
  local Dir Pid
  Dir=$(Folder "${1:-}")
  Pid=$(cat "$Dir/slapd.pid" 2>/dev/null || true)
  if [ -n "$Pid" ] && [ "$(cat "/proc/$Pid/comm" 2>/dev/null)" = slapd ]; then
    kill "$Pid"
    for _ in $(seq 200); do
      Alive "$Pid" || break
      sleep 0.05
    done
    if Alive "$Pid"; then kill -KILL "$Pid"; fi
  fi
  rm -rf "$Dir"
}

# Starts slapd again on the port and database of a server that was killed (kill -9 in tests).
Revive() {
  local Dir Pid Url Ldapi
  Dir=$(Folder "${1:-}")
  # shellcheck disable=SC1091
  source "$Dir/env"
  ! Alive "$PARVON_LDAP_PID" || Fail "the server in $Dir still runs"
  Url=$PARVON_LDAP_URL
  Ldapi=$PARVON_LDAP_LDAPI_URL
  rm -f "$Dir/ldapi" "$Dir/slapd.pid"
  for _ in $(seq 100); do
    setsid slapd -d none -F "$Dir/slapd.d" -h "$Url/ $Ldapi" </dev/null >>"$Dir/slapd.log" 2>&1 &
    Pid=$!
    for _ in $(seq 200); do
      Alive "$Pid" || break
      if ldapwhoami -x -H "$Ldapi" -D "$PARVON_LDAP_BIND_DN" -y "$Dir/rootpw" >/dev/null 2>&1; then
        sed -i "s/^export PARVON_LDAP_PID=.*/export PARVON_LDAP_PID='$Pid'/" "$Dir/env"
        cat "$Dir/env"
        return
      fi
      sleep 0.05
    done
    Alive "$Pid" && kill "$Pid"
    sleep 0.1 # the port may still be held by the killed server's sockets
  done
  Fail "slapd did not start again (log: $Dir/slapd.log)"
}

case "${1:-}" in
  start) Start "${2:-}" ;;
  revive) Revive "${2:-}" ;;
  env)
    Dir=$(Folder "${2:-}")
    [ -f "$Dir/env" ] || Fail "the server in $Dir did not start"
    cat "$Dir/env"
    ;;
  stop) Stop "${2:-}" ;;
  *)
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
    ;;
esac
