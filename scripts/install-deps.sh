#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Parvon need (clang and its
# runtime libraries for the fuzz targets among them; getfacl and getfattr to look at the folders of a
# volume on real folders).
set -euo pipefail
PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-translations-l10n
  libgl-dev fonts-liberation xvfb xauth imagemagick qt6-pdf-dev poppler-utils
  slapd ldap-utils libldap-dev sqlite3
  libsodium-dev
  libzip-dev
  libacl1-dev acl attr
  clang libclang-rt-14-dev
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

# The LDAP tests start a throwaway slapd of their own (scripts/ldap-test-server.sh). The package would
# configure and start a system-wide one: answer its questions with "no configuration" and keep every
# service from starting during the installation.
policy_rc=/usr/sbin/policy-rc.d
own_policy=0
if [[ " ${missing[*]} " == *" slapd "* ]]; then
  echo "slapd slapd/no_configuration boolean true" | $SUDO debconf-set-selections
  if [ ! -e "$policy_rc" ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy_rc" >/dev/null
    $SUDO chmod 755 "$policy_rc"
    own_policy=1
    trap '$SUDO rm -f "$policy_rc"' EXIT
  fi
fi

$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

if [[ " ${missing[*]} " == *" slapd "* ]] && command -v systemctl >/dev/null && [ -d /run/systemd/system ]; then
  # Should a system slapd have started anyway, stop it and keep it from starting at boot.
  $SUDO systemctl disable --now slapd >/dev/null 2>&1 || true
fi
[ "$own_policy" -eq 1 ] && $SUDO rm -f "$policy_rc" && trap - EXIT
exit 0
