#!/usr/bin/env bash
# Installs, through apt, whatever Debian packages building, running and testing Corvane need
# and this machine lacks. Does nothing when everything is there already.
#
#   setup-debian.sh [group...]   the groups: test, web, deb, wayland, valgrind, frames, fuzz
set -euo pipefail

packages=(
  g++ cmake ninja-build make
  qt6-base-dev qt6-qpa-plugins
  libxcb1-dev                 # the X11 events and connection the program watches for itself
  libwayland-dev pkgconf      # asking a Wayland compositor whether it draws windows' frames
  fonts-liberation            # a serif font with the metrics of Times New Roman
  qt6-wayland                 # Qt's native backend under a Wayland session
)
for group in "$@"; do
  case "$group" in
    test)  # the desktop tests, xvfb-run, and validating the launcher entry and metadata
      packages+=(xvfb xauth openbox libx11-dev libxtst-dev imagemagick desktop-file-utils
                 appstream ccache python3) ;;
    web)   # the browser edition and its tests in three browser engines (WebKit's under xvfb)
      packages+=(emscripten python3 python3-fonttools python3-brotli
                 chromium firefox-esr webkit2gtk-driver xvfb) ;;
    deb)   # the Debian package and its manual page
      packages+=(build-essential debhelper dpkg-dev fakeroot lintian help2man) ;;
    wayland)  # a compositor without a screen, for the Wayland end-to-end test
      packages+=(weston) ;;
    valgrind) packages+=(valgrind) ;;
    frames)   # a compositor that draws windows' frames itself, for the benchmarks' memory rows
      packages+=(sway) ;;
    fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    *) echo "setup-debian.sh: unknown group '$group'" >&2; exit 2 ;;
  esac
done
# Node.js drives the browser tests; a machine may already have its own.
if [[ " $* " == *" web "* ]] && ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if [[ ${#missing[@]} -gt 0 ]]; then
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
fi

# The pinned browser drivers, fetched here rather than while the tests run, and again after a
# failed first try: a registry that stumbles once should not fail a whole test run.
driver=$(dirname "$0")/../tests/web
if [[ " $* " == *" web "* && ! $driver/node_modules/.package-lock.json -nt $driver/package-lock.json ]]
then
  npm ci --prefix "$driver" --no-audit --no-fund ||
    { sleep 5; npm ci --prefix "$driver" --no-audit --no-fund; }
fi
