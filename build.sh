#!/usr/bin/env bash
# One entry point for building, running and testing Corvane on Debian 12. Each command first
# installs, through apt, whatever Debian packages it needs and the machine lacks (as root, or
# through sudo).
#
#   ./build.sh run        build and start the program (needs a graphical display)
#   ./build.sh test       build and run every test through CTest
#   ./build.sh asan       the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer
#   ./build.sh valgrind   the logic tests under valgrind's memory checker
#   ./build.sh fuzz [s]   a bounded libFuzzer run over everything a user can type (default 60 s)
#   ./build.sh bench      the benchmarks, printed as one table
#   ./build.sh deb        the Debian package, built in build/deb; prints its path last
#   ./build.sh web        build the browser edition into build/web and serve it on 127.0.0.1:8080
set -euo pipefail
cd "$(dirname "$0")"

build() {  # build <preset> [package group...]
  local preset=$1
  shift
  ./scripts/setup-debian.sh "$@"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
}

command=${1:-}
case "$command" in
  run)
    build dev
    exec ./build/dev/bin/corvane
    ;;
  test)
    build dev test web deb wayland
    ctest --preset dev -j2
    ;;
  asan)
    build asan test wayland
    ctest --preset asan -j2
    ;;
  valgrind)
    build dev valgrind
    ./scripts/run-valgrind.sh build/dev
    ;;
  fuzz)
    ./scripts/run-fuzz.sh "${2:-60}"
    ;;
  bench)
    build dev test wayland valgrind frames
    ./scripts/run-benchmarks.sh build/dev
    ;;
  deb)
    ./scripts/setup-debian.sh deb
    # From a copy, so that the package build's files stay out of the source tree and its parent.
    rm -rf build/deb
    mkdir -p build/deb/corvane
    tar --exclude='./build*' --exclude=./.git --exclude=./.cache --exclude=node_modules -cf - . |
      tar -C build/deb/corvane -xf -
    # debhelper hides the home folder, and with it the compiler cache.
    if command -v ccache >/dev/null; then
      CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)}
      export CCACHE_DIR
    fi
    (cd build/deb/corvane && dpkg-buildpackage -us -uc -b -jauto)
    echo "$PWD/build/deb/corvane_$(dpkg-parsechangelog -l debian/changelog -S Version)_$(
      dpkg --print-architecture).deb"
    ;;
  web)
    build web web
    echo "Serving build/web; Ctrl+C stops it."
    exec python3 scripts/serve-web.py build/web 8080
    ;;
  *)
    sed -n '2,14s/^# \{0,1\}//p' "$0" >&2
    exit 2
    ;;
esac
