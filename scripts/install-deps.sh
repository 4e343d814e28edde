#!/usr/bin/env bash
# Installs every Debian 12 package the project needs to build, run and test.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
packages=(
  # build
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools libgl-dev
  libxml2-dev libcurl4-openssl-dev libcpp-httplib-dev
  libgtest-dev libgmock-dev
  # run
  fonts-noto-cjk xdg-utils
  # test and benchmark peers
  curl xvfb xauth xdotool imagemagick python3-aiosmtpd dovecot-pop3d
  # a desktop notification service on a private session bus
  dunst dbus-daemon dbus-bin dbus-x11
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
