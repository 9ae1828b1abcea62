#!/usr/bin/env bash
# Installs what building and running the program needs on Debian 12; with
# --tests also what the tests need (a PostgreSQL server for the feedback
# tests, Xvfb for screenshots, the Debian checkers for the package). Safe to run again: it only installs what is
# missing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-webengine-dev qt6-webchannel-dev qt6-charts-dev
  libsqlite3-dev libarchive-dev libpq-dev
  zlib1g-dev        # libunrar checks the CRC32 of every entry with zlib
  fonts-noto-cjk
  qt6-translations-l10n # Qt's own dialogs and buttons in Chinese
  qt6-svg-dev       # the icon's PNG sizes are rendered from its SVG at build time
  dpkg-dev file     # cpack -G DEB: dpkg-shlibdeps derives the package's dependencies
)
if [ "${1:-}" = "--tests" ]; then
  PACKAGES+=(
    postgresql        # the tests start a throw-away feedback server
    xvfb xauth        # headless screenshots
    xdotool           # keys pressed in a screenshot's window
    lintian           # the package test checks the .deb
    devscripts        # hardening-check on the package's binaries
    desktop-file-utils # desktop-file-validate on the menu entry
    appstream         # appstreamcli validate on the metainfo
  )
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
