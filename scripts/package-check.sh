#!/usr/bin/env bash
# Builds the Debian package of Parvon (build/package/parvon_*.deb) and, where it can (as root or with
# sudo), installs it with apt-get and starts the installed program under xvfb-run in a fresh home:
# after five seconds it must still run, and it must end with exit status 0 when it is told to
# (SIGTERM); the installed console must then show the demo tree the program created. The package is
# removed again unless --keep is given.
set -euo pipefail
cd "$(dirname "$0")/.."
KEEP=0
[ "${1:-}" = "--keep" ] && KEEP=1
scripts/install-deps.sh

# A release build of the two programs only; cpack then installs them without building the tests.
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build build/package --target parvon parvon-dirtool
rm -f build/package/parvon_*.deb
(cd build/package && cpack -G DEB >/dev/null)
DEB=$(ls "$PWD"/build/package/parvon_*.deb)
echo "Package: $DEB"
dpkg-deb --field "$DEB" Package Version Depends Recommends
# The exam end writes its archives through libzip: the package must bring it along.
dpkg-deb --field "$DEB" Depends | grep -q "libzip" || { echo "Depends lacks libzip"; exit 1; }

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! sudo -n true 2>/dev/null; then
    echo "Not installed: installing needs root or sudo."
    exit 0
  fi
  SUDO="sudo"
fi

HOME_DIR=$(mktemp -d)
cleanup() {
  rm -rf "$HOME_DIR"
  if [ "$KEEP" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y -qq parvon >/dev/null || true
  fi
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --reinstall "$DEB" >/dev/null
for F in /usr/bin/parvon /usr/bin/parvon-dirtool /usr/share/applications/parvon.desktop \
         /usr/share/icons/hicolor/scalable/apps/parvon.svg; do
  [ -e "$F" ] || { echo "Missing after the installation: $F"; exit 1; }
done

# A user of its own: the program creates its store and reads no one's settings.
as_new_user() {
  env -u PARVON_CLIENT_STORE -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$HOME_DIR" "$@"
}
STATUS=0
as_new_user xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  parvon & PID=$!
  sleep 5
  kill -0 $PID 2>/dev/null || { echo "parvon ended before its time"; wait $PID; exit 1; }
  kill -TERM $PID
  wait $PID' || STATUS=$?
if [ "$STATUS" -ne 0 ]; then
  echo "parvon: exit status $STATUS"
  exit 1
fi
as_new_user parvon-dirtool list 'NDS:\\SCHULE\unterricht\schueler' | grep -q "Organizational Unit *5a" ||
  { echo "parvon-dirtool does not show the program's store"; exit 1; }
echo "Installed; parvon started, ran and ended with exit status 0; parvon-dirtool shows its store."
