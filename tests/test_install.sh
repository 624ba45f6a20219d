#!/usr/bin/env bash
# Installs into a scratch prefix and checks what a desktop needs: the program, a launcher entry
# and metadata that validate without a single error or warning, and the icon in every size.
# Usage: test_install.sh <build folder>
set -uo pipefail
build=$1
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

cmake --install "$build" --prefix "$root/usr" >"$root/install.log" 2>&1 || {
  cat "$root/install.log"
  echo "install: 0 passed, 1 failed"
  exit 1
}
share=$root/usr/share

check "the program is installed and executable" test -x "$root/usr/bin/corvane"
check "the launcher entry is installed" test -f "$share/applications/$app.desktop"
check "the metadata is installed" test -f "$share/metainfo/$app.metainfo.xml"

# desktop-file-validate prints nothing at all for a clean file.
output=$(desktop-file-validate "$share/applications/$app.desktop" 2>&1)
check "desktop-file-validate is silent: $output" test -z "$output"
check "the launcher names its icon without an extension" \
  grep -qx "Icon=$app" "$share/applications/$app.desktop"

# appstreamcli's errors and warnings start with E: and W:; pedantic notes are not faults.
output=$(appstreamcli validate --no-net "$share/metainfo/$app.metainfo.xml" 2>&1)
status=$?
check "appstreamcli validate succeeds" test "$status" -eq 0
check "appstreamcli reports no error or warning: $output" \
  bash -c '! grep -qE "^[[:space:]]*[EW]:" <<<"$1"' _ "$output"
check "the metadata launches the desktop entry" \
  grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" \
  "$share/metainfo/$app.metainfo.xml"

for size in 16 24 32 48 64 128 256 512; do
  icon=$share/icons/hicolor/${size}x${size}/apps/$app.png
  check "icon $size exists" test -f "$icon"
  if [[ -f $icon ]]; then
    geometry=$(identify -format '%wx%h' "$icon" 2>/dev/null)
    check "icon $size is ${size}x${size}, not $geometry" test "$geometry" = "${size}x${size}"
  fi
done

echo "install: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
