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
    build asan test
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
    build dev test
    ./scripts/run-benchmarks.sh build/dev
    ;;
  web)
    build web web
    echo "Serving build/web; Ctrl+C stops it."
    exec python3 scripts/serve-web.py build/web 8080
    ;;
  *)
    sed -n '2,13s/^# \{0,1\}//p' "$0" >&2
    exit 2
    ;;
esac
