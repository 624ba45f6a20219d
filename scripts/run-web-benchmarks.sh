#!/usr/bin/env bash
# The browser edition's benchmarks in Chromium, Firefox ESR and WebKitGTK, as rows of the
# benchmark table, each beside the desktop's figure from the rows that scripts/run-benchmarks.sh
# printed in the same run. Builds the site with the `web` preset and installs the pinned drivers first. Usage:
#   scripts/run-web-benchmarks.sh DESKTOP-ROWS.md [BUILD]     (BUILD holds the desktop program)
set -euo pipefail
cd "$(dirname "$0")/.."
rows=$1
build=${2:-build/dev}

cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
driver=tests/web
if [[ ! $driver/node_modules/.package-lock.json -nt $driver/package-lock.json ]]; then
  npm ci --prefix "$driver" --no-audit --no-fund >/dev/null
fi

# The median of a desktop row: its benchmark starts with $1, on the virtual X server.
desktop() {
  awk -F'|' -v name="$1" 'index($2, name) == 2 && $3 ~ /Xvfb/ && $3 !~ /shared memory/ {
    split($4, m, " "); print m[1]; exit }' "$rows"
}
program=$(mktemp)
trap 'rm -f "$program"' EXIT
strip -o "$program" "$build/bin/corvane"
node bench/web/bench_web.mjs build/web "$(desktop 'Seven-disk run, delay 0') thousand" \
  "$(desktop 'Pause 0.05 s ×250: processor share') %" \
  "$(desktop 'Launch to first paint of the window') ms" "$(gzip -9 -c "$program" | wc -c)"
