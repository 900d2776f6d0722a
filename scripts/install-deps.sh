#!/usr/bin/env bash
# Installs the Debian packages Zandrel builds, runs and tests with.
# Safe to run again: it only asks apt for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libxml2-dev libcurl4-openssl-dev uuid-dev libglib2.0-dev
  libgtk-3-dev libwebkit2gtk-4.1-dev gir1.2-webkit2-4.1 libarchive-dev libgumbo-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool imagemagick python3 python3-gi gir1.2-gtk-3.0 openssl clang
  dbus-daemon dbus-bin at-spi2-core python3-pyatspi
  appstream desktop-file-utils libxml2-utils shared-mime-info libglib2.0-bin poppler-utils
  wget
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run as root (or with sudo) to install them" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
echo "install-deps: installing ${missing[*]}"
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
