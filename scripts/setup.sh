#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run, test and benchmark.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev libpcre2-dev nlohmann-json3-dev libqrencode-dev
  libaria2-0-dev libcpp-httplib-dev libssl-dev libcli11-dev libsqlite3-dev libsecret-1-dev
  zlib1g-dev
  libavformat-dev libavutil-dev
  libgtest-dev libgmock-dev
  ffmpeg aria2 curl jq time zbar-tools dbus-daemon
  fonts-wqy-microhei xvfb xauth imagemagick
  clang libclang-rt-14-dev
  locales
  help2man librsvg2-bin lintian appstream desktop-file-utils systemd
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The date tests need a 12-hour locale beside C.UTF-8.
if ! locale -a 2>/dev/null | grep -qix 'en_US\.utf-\?8'; then
  $SUDO localedef -i en_US -f UTF-8 en_US.UTF-8
fi
