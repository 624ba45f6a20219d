#!/usr/bin/env bash
# Builds the Debian package and checks it as a desktop meets it: lintian has nothing to say, and
# unpacked it holds the program where the launcher entry and the metadata look for it, both valid
# without an error or warning, the manual page and the icon in every size. Then the packaged
# program's command line, and its answer when no display can be had.
# Usage: test_install.sh <source folder>
set -uo pipefail
app=org.corvane.Corvane
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
passed=0
failed=0
check() {  # check <description> <command...>
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "FAIL: $what"
    failed=$((failed + 1))
  fi
}

"$1/build.sh" deb >"$root/build.log" 2>&1 || {
  tail -40 "$root/build.log"
  echo "install: 0 passed, 1 failed"
  exit 1
}
deb=$(tail -1 "$root/build.log")
# Errors and warnings start with E: and W:; notes at other levels are not faults.
output=$(lintian "$deb" 2>&1)
check "lintian reports no error or warning: $output" \
  bash -c '! grep -qE "^[EW]:" <<<"$1"' _ "$output"

# X11's platform plugin whatever else is installed; Wayland's is recommended, once.
depends=$(dpkg-deb -f "$deb" Depends) recommends=$(dpkg-deb -f "$deb" Recommends)
check "Depends holds qt6-qpa-plugins with no alternative: $depends" \
  grep -qE '(^|, )qt6-qpa-plugins(,|$)' <<<"$depends"
check "Recommends holds qt6-wayland and nothing Depends has: $recommends" \
  bash -c 'grep -qE "(^|, )qt6-wayland(,|$)" <<<"$1" && ! grep -q qt6-qpa-plugins <<<"$1"' _ \
  "$recommends"

dpkg-deb -x "$deb" "$root/pkg"
share=$root/pkg/usr/share
desktop=$share/applications/$app.desktop
check "the manual page is installed" test -f "$share/man/man6/corvane.6.gz"
check "the launcher entry is installed" test -f "$desktop"
packaged() { test -f "$root/pkg$1" -a -x "$root/pkg$1"; }
for key in Exec TryExec; do
  program=$(sed -n "s/^$key=//p" "$desktop")
  check "the launcher's $key=$program is the packaged program" packaged "$program"
done
metainfo=$share/metainfo/$app.metainfo.xml
program=/usr/games/$(sed -n 's|.*<binary>\(.*\)</binary>.*|\1|p' "$metainfo")
check "the metadata's program $program is packaged" packaged "$program"

# desktop-file-validate prints nothing at all for a clean file; appstreamcli also finds the
# launcher entry that the metadata names.
output=$(desktop-file-validate "$desktop" 2>&1)
check "desktop-file-validate is silent: $output" test -z "$output"
output=$(appstreamcli validate-tree --no-net "$root/pkg" 2>&1)
check "appstreamcli validates the tree: $output" test $? -eq 0
check "appstreamcli reports no error or warning: $output" \
  bash -c '! grep -qE "^[[:space:]]*[EW]:" <<<"$1"' _ "$output"
for size in 16 24 32 48 64 128 256 512; do
  geometry=$(identify -format '%wx%h' "$share/icons/hicolor/${size}x${size}/apps/$app.png" 2>&1)
  check "icon $size is ${size}x${size}: $geometry" test "$geometry" = "${size}x${size}"
done

# expect <status> <pattern> <lines on standard error> <environment...> <arguments...>: with no
# display unless given one, the packaged program ends with <status>, and what it says matches.
expect() {
  local status=$1 pattern=$2 lines=$3
  shift 3
  output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE \
    XDG_RUNTIME_DIR="$root" "$@" 2>"$root/stderr")
  local got=$?
  statuses+=" $got"
  output+=$(<"$root/stderr")
  check "${*##*/}: status $got, $(wc -l <"$root/stderr") lines on stderr: $output" \
    test "$got $(wc -l <"$root/stderr")" = "$status $lines"
  check "${*##*/}: says '$pattern'" grep -qE -- "$pattern" <<<"$output"
}
program=$root/pkg$program
expect 0 "^corvane $(dpkg-deb -f "$deb" Version)\$" 0 "$program" --version
expect 0 '--disks <N>' 0 "$program" --help
expect 2 "Unknown option 'bogus'" 2 "$program" --run --bogus
expect 2 "Unknown option 'platform'" 2 "$program" -platform xcb
expect 1 'cannot write to standard output' 1 bash -c 'exec "$0" --help >/dev/full' "$program"
expect 2 "Missing value after '--delay'" 2 "$program" --delay
expect 2 "Missing value after '--disks'" 2 "$program" --disks --run
expect 2 "'--run' is given more than once" 2 "$program" --run --disks 3 --run
for display in DISPLAY=:149 DISPLAY=no:such:display WAYLAND_DISPLAY=nowhere \
  QT_QPA_PLATFORM=nowhere; do
  expect 2 'cannot open the display .*xvfb-run -a corvane' 1 "$display" "$program"
done
# Every window system that was tried is named, each with its own reason.
expect 2 'display \(Failed to create wl_display.*; could not connect to display :149\);' 1 \
  WAYLAND_DISPLAY=nowhere DISPLAY=:149 "$program"

# Each status the program ended with above is explained in the manual page.
exits=$(man -l "$share/man/man6/corvane.6.gz" 2>&1 | sed -n '/^EXIT STATUS/,/^[A-Z]/p')
for status in $(tr ' ' '\n' <<<"$statuses" | sort -u); do
  check "the manual page explains status $status: $exits" grep -qE "^ +$status( |$)" <<<"$exits"
done

echo "install: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
