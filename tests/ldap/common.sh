# shellcheck shell=bash disable=SC2034
# Shared by the LDAP tests: the checkout, the skip without slapd, failing with a message.
Root=$(cd "$(dirname "$0")/../.." && pwd -P)
export PATH="$PATH:/usr/sbin:/sbin"
umask 077
Schemas=(/etc/ldap/schema/core.schema /etc/ldap/schema/cosine.schema /etc/ldap/schema/inetorgperson.schema
         /etc/ldap/schema/nis.schema "$Root/ldap/parvon.schema")
if ! command -v slapd >/dev/null || ! command -v ldapsearch >/dev/null; then
  echo "SKIPPED: slapd or ldap-utils is not installed (scripts/install-deps.sh installs them)"
  exit 77
fi
: "${PARVON_DIRTOOL:?PARVON_DIRTOOL must name parvon-dirtool}"

Fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Runs parvon-dirtool on a store of its own.
Dirtool() {
  "$PARVON_DIRTOOL" --store "$@"
}
