#!/usr/bin/env bash
# ldap/parvon.schema: slapd takes it, ldap/parvon.ldif is made from it, and it defines every
# attribute type and object class that an export writes: the demo tree's, and one of an object of
# each layout with every field, which a server then holds without losing a value.
set -euo pipefail
# shellcheck source=tests/ldap/common.sh
source "$(dirname "$0")/common.sh"
Work=$(mktemp -d)
trap 'rm -rf "$Work"' EXIT

{ printf 'include %s\n' "${Schemas[@]}"; } >"$Work/slapd.conf"
slaptest -u -f "$Work/slapd.conf" >"$Work/slaptest.log" 2>&1 || { cat "$Work/slaptest.log"; Fail "slaptest refuses the schema"; }

perl "$Root/ldap/ldif-tool.pl" schema-ldif "$Root/ldap/parvon.schema" | diff -u "$Root/ldap/parvon.ldif" - ||
  Fail "ldap/parvon.ldif is not made from ldap/parvon.schema: run ldap/ldif-tool.pl schema-ldif ldap/parvon.schema >ldap/parvon.ldif"

Dirtool "$Work/demo" demo >/dev/null
Dirtool "$Work/demo" export SCHULE "$Work/demo.ldif"
Dirtool "$Work/probe" import SCHULE "$Root/tests/ldap/all-fields.ldif" >/dev/null
Dirtool "$Work/probe" export SCHULE "$Work/probe.ldif"
for Export in demo probe; do
  perl "$Root/ldap/ldif-tool.pl" check "${Schemas[@]}" <"$Work/$Export.ldif" || Fail "the $Export export uses names the schemas lack"
done

# Every value of the probe reaches the server.
Env=$(PARVON_LDAP_DIR="$Work/server" PARVON_LDAP_LDIF="$Work/probe.ldif" "$Root/scripts/ldap-test-server.sh" start 2>"$Work/start.log") ||
  { cat "$Work/start.log"; Fail "the server refuses the probe"; }
eval "$Env"
trap '"$Root/scripts/ldap-test-server.sh" stop; rm -rf "$Work"' EXIT
[ ! -s "$Work/start.log" ] || { cat "$Work/start.log"; Fail "loading the probe left values out"; }
Count() { grep -c -E '^[A-Za-z][A-Za-z0-9-]*::? ' || true; }
Written=$(grep -v -E '^(version|dn|objectClass):' "$Work/probe.ldif" | Count)
Held=$(ldapsearch -x -LLL -o ldif-wrap=no -H "$PARVON_LDAP_URL" -D "$PARVON_LDAP_BIND_DN" -y "$PARVON_LDAP_PASSWORD_FILE" \
  -b "$PARVON_LDAP_BASE" '*' | grep -v -E '^(dn|objectClass|dc):' | Count)
echo "values: $Written written, $Held held"
[ "$Written" = "$Held" ] || Fail "the export holds $Written values, the server $Held"
echo "passed"
