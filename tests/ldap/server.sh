#!/usr/bin/env bash
# scripts/ldap-test-server.sh: the server starts with the demo tree within seconds, holds its users,
# sets a password through the password-modify operation, serves a paged search to that user, and
# is gone with its folder after stop.
set -euo pipefail
# shellcheck source=tests/ldap/common.sh
source "$(dirname "$0")/common.sh"
Server="$Root/scripts/ldap-test-server.sh"
Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT

Started=$(date +%s%N)
Env=$("$Server" start "$Work/server")
echo "started in $((($(date +%s%N) - Started) / 1000000)) ms"
trap '"$Server" stop "$Work/server"; rm -rf "$Work"' EXIT
eval "$Env"
[ "$("$Server" env)" = "$Env" ] || Fail "env prints other values than start"
[ "$(stat -c %a "$PARVON_LDAP_PASSWORD_FILE")" = 600 ] || Fail "the password file is readable by others"

Search() {
  ldapsearch -x -LL -o ldif-wrap=no -H "$PARVON_LDAP_URL" -b "$PARVON_LDAP_BASE" "$@"
}
AsRoot() { Search -D "$PARVON_LDAP_BIND_DN" -y "$PARVON_LDAP_PASSWORD_FILE" "$@"; }
Count() { grep -c "$1" || true; }

Users=$(Count '^objectClass: inetOrgPerson$' <"$PARVON_LDAP_DIR/export.ldif")
Entries=$(Count '^dn:' <"$PARVON_LDAP_DIR/export.ldif")
Listed=$(AsRoot '(objectClass=inetOrgPerson)' 1.1)
Held=$(Count '^dn:' <<<"$Listed")
echo "users: $Users exported, $Held held"
[ "$Users" -gt 100 ] || Fail "the export holds only $Users users"
[ "$Held" = "$Users" ] || Fail "the server holds $Held of $Users users"

User=$(sed -n 's/^dn: //p' <<<"$Listed" | tail -n 1)
printf 'Probe-%s' "$RANDOM" >"$Work/userpw"
ldappasswd -x -H "$PARVON_LDAP_URL" -D "$PARVON_LDAP_BIND_DN" -y "$PARVON_LDAP_PASSWORD_FILE" \
  -T "$Work/userpw" "$User" || Fail "the password-modify operation failed"
[ "$(ldapwhoami -x -H "$PARVON_LDAP_LDAPI_URL" -D "$User" -y "$Work/userpw")" = "dn:$User" ] ||
  Fail "the user cannot bind with the new password"

Paged=$(Search -D "$User" -y "$Work/userpw" -E pr=5/noprompt '(objectClass=*)' 1.1)
Pages=$(Count '^# pagedresults: cookie=' <<<"$Paged")
Found=$(Count '^dn:' <<<"$Paged")
echo "paged search: $Found entries in $Pages pages"
[ "$Found" = $((Entries + 1)) ] || Fail "the paged search found $Found of $((Entries + 1)) entries"
[ "$Pages" -ge $((Entries / 5)) ] || Fail "the search came in $Pages pages of five"

# The dirtool reaches the server's tree through the client settings in its store's folder: the
# demo catalog refreshes over LDAP and reads back its rows; a password set there checks right.
mkdir "$Work/store"
printf '[SCHULE]\nDirectory=ldap\nUrl=%s\nBase=%s\nBindDn=%s\nPasswordFile=%s\n' "$PARVON_LDAP_URL" \
  "$PARVON_LDAP_BASE" "$PARVON_LDAP_BIND_DN" "$PARVON_LDAP_PASSWORD_FILE" >"$Work/store/client.ini"
grep -qx '. SCHULE' <<<"$(Dirtool "$Work/store" trees)" || Fail "trees does not list the LDAP tree"
Katalog='NDS:\\SCHULE\dienste\benutzer'
Started=$(date +%s%N)
Refreshed=$(Dirtool "$Work/store" refresh-catalog "$Katalog") || Fail "refresh-catalog failed"
echo "demo catalog refreshed over LDAP in $((($(date +%s%N) - Started) / 1000000)) ms"
grep -q '^Values:  738$' <<<"$Refreshed" || Fail "the refresh gathered other values: $Refreshed"
Rows=$(Dirtool "$Work/store" catalog "$Katalog") || Fail "catalog failed"
grep -qF '5a\bauer_greta  Surname: Bauer' <<<"$Rows" || Fail "the catalog's rows lack the class 5a"
Exam='NDS:\\SCHULE\unterricht\pruefung\EDV1_B01'
Dirtool "$Work/store" set-password "$Exam" <<<"Sch4rf-Geheim" >/dev/null || Fail "set-password failed"
Dirtool "$Work/store" check-password "$Exam" <<<"Sch4rf-Geheim" >/dev/null || Fail "the password checks wrong"

# POSIX ids over LDAP: the console gives a class's students and the class ids; ldapsearch shows the
# accounts in the class's group, each with a uid number of its own; a second run gives none.
Klasse='NDS:\\SCHULE\unterricht\schueler\7a'
Given=$(Dirtool "$Work/store" posix-ids "$Klasse" | sed -n 's/.*: \([0-9]*\) ids given$/\1/p')
[ "${Given:-0}" -gt 20 ] || Fail "posix-ids gave ${Given:-no} ids"
Group=$(AsRoot '(&(objectClass=parvonPosixGroup)(ou=7a))' gidNumber | sed -n 's/^gidNumber: //p')
[ -n "$Group" ] || Fail "the class holds no gidNumber"
Accounts=$(AsRoot "(&(objectClass=posixAccount)(gidNumber=$Group))" uidNumber homeDirectory)
echo "posix ids: class 7a gid $Group, $(Count '^uidNumber: ' <<<"$Accounts") accounts"
[ "$(Count '^uidNumber: ' <<<"$Accounts")" = $((Given - 1)) ] || Fail "the class's group holds other accounts: $Accounts"
[ -z "$(AsRoot '(objectClass=posixAccount)' uidNumber | sed -n 's/^uidNumber: //p' | sort | uniq -d)" ] ||
  Fail "two accounts share a uid number"
Dirtool "$Work/store" posix-ids "$Klasse" | grep -q ': 0 ids given$' || Fail "a second posix-ids gave ids again"

trap 'rm -rf "$Work"' EXIT
"$Server" stop "$Work/server"
[ ! -e "$Work/server" ] || Fail "stop left the folder"
! kill -0 "$PARVON_LDAP_PID" 2>/dev/null || [ "$(awk '{ print $3 }' "/proc/$PARVON_LDAP_PID/stat")" = Z ] ||
  Fail "stop left slapd running"
echo "passed"
