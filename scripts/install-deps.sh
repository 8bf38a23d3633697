#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# only those that are missing. Run as root (or through sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-private-dev qt6-base-dev-tools qt6-svg-dev qt6-image-formats-plugins libqt6svg6
  qt6-qpa-plugins libqt6printsupport6
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  libturbojpeg0-dev libjpeg62-turbo-dev libuemf-dev libcups2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils openbox imagemagick poppler-utils acl dbus-daemon
  dbus at-spi2-core python3-pyatspi
  clang-format clang-tidy dpkg-dev
  desktop-file-utils appstream
  python3 python3-pil python3-numpy libjpeg-turbo-progs
  fonts-dejavu-core fonts-liberation fonts-liberation2 fonts-symbola fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
