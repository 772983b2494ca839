#!/usr/bin/env bash
# Installs everything Sendora needs to build, run and test on Debian 12, without questions.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev libqt6sql6-sqlite
  libsqlite3-dev sqlite3 libc-ares-dev
  postfix dovecot-pop3d dnsmasq-base openssl
  xvfb xauth
  mdbtools-dev libshp-dev libfreexl-dev pxlib-dev python3-xlwt
  qt6-webengine-dev libqt6webenginecore6-bin qt6-qpa-plugins fonts-dejavu-core
  unixodbc-dev odbc-postgresql libsqliteodbc postgresql
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
# Postfix is only here for its smtp-sink test server: no mail system is configured.
echo "postfix postfix/main_mailer_type select No configuration" | $SUDO debconf-set-selections
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
