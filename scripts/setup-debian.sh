#!/usr/bin/env bash
# Installs, through apt, whatever Debian packages building, running and testing Corvane need
# and this machine lacks. Does nothing when everything is there already.
set -euo pipefail

packages=(
  g++ cmake ninja-build make
  qt6-base-dev qt6-qpa-plugins libgl-dev
  fonts-liberation            # a serif font with the metrics of Times New Roman
  xvfb xauth xdotool x11-utils openbox imagemagick   # the desktop tests and xvfb-run
  desktop-file-utils appstream                 # validating the launcher entry and metadata
)
if [[ "${CORVANE_WITH_VALGRIND:-0}" == 1 ]]; then
  packages+=(valgrind)
fi
if [[ "${CORVANE_WITH_FUZZ:-0}" == 1 ]]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  if ! command -v sudo >/dev/null; then
    echo "Need root to install: ${missing[*]} (run as root or install sudo)" >&2
    exit 1
  fi
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
