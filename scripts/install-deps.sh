#!/usr/bin/env bash
# Installs every Debian 12 package the project needs to build, run and test.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
packages=(
  # build
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools qt6-charts-dev libgl-dev
  libxml2-dev libcurl4-openssl-dev libcpp-httplib-dev libsqlite3-dev libicu-dev
  libgtest-dev libgmock-dev
  # icons, the Debian package and its checks
  librsvg2-bin dpkg-dev file lintian desktop-file-utils appstream
  # run
  fonts-noto-cjk xdg-utils qt6-translations-l10n
  # test and benchmark peers
  curl xvfb xauth xdotool imagemagick python3-aiosmtpd dovecot-pop3d openssl
  # the desktop session of the desktop suite and the screenshots
  openbox trayer dunst dbus-daemon dbus-bin dbus-x11 x11-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
