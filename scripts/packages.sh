#!/usr/bin/env bash
# Installs with apt what a fresh Debian 12 machine lacks to build, run and test the program, the sanitizer
# build and the fuzz targets included. Quick when nothing is missing.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev qt6-image-formats-plugins qt6-translations-l10n libgl1-mesa-dev 7zip xdg-utils
          xvfb xauth imagemagick python3 fonts-noto-color-emoji clang-14 libclang-rt-14-dev
          qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus dbus-daemon libsecret-tools)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
