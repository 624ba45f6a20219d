#!/usr/bin/env bash
# Runs the real program on a private virtual X server with a small window manager, drives it
# with real input events, reads the screen and checks how it ends. Usage:
#   run_desktop_tests.sh PATH_TO_CORVANE
# Needs Xvfb, xdotool, xwininfo and ImageMagick; openbox is used when present. Works without
# any display of its own; every wait is bounded.
set -u

binary=${1:?usage: run_desktop_tests.sh PATH_TO_CORVANE}
caption='Corvane by Ambrell'
passed=0
failed=0
work=$(mktemp -d)
xvfb_pid=''
wm_pid=''
program_pid=''

cleanup() {
  for pid in "$program_pid" "$wm_pid" "$xvfb_pid"; do
    if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
    fi
  done
  rm -rf "$work"
}
trap cleanup EXIT

die() {
  echo "desktop: $*" >&2
  echo "desktop: $passed passed, $((failed + 1)) failed"
  exit 1
}

for tool in Xvfb xdotool xwininfo xprop import convert; do
  command -v "$tool" >/dev/null || die "missing tool '$tool' (install xvfb, xdotool, x11-utils, imagemagick)"
done
[[ -x $binary ]] || die "no program at '$binary'"

# --- the virtual screen --------------------------------------------------------------------

# Xvfb picks a free display number itself and writes it to the descriptor given.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s $work/display ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || die "Xvfb did not start: $(cat "$work/xvfb.log")"
  sleep 0.1
done
[[ -s $work/display ]] || die "Xvfb gave no display number within 10 s"
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

if command -v openbox >/dev/null; then
  openbox --sm-disable >"$work/wm.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 50); do
    timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
else
  echo "desktop: openbox not found; closing through the close box is not tested" >&2
fi

# --- helpers -------------------------------------------------------------------------------

fail() { problem=$*; }

report() {  # name, failure message or empty
  if [[ -z $2 ]]; then
    passed=$((passed + 1))
    echo "PASS  $1"
  else
    failed=$((failed + 1))
    echo "FAIL  $1: $2"
    if [[ -s $work/program.log ]]; then
      sed 's/^/      | /' "$work/program.log"
    fi
  fi
}

start_program() {
  : >"$work/program.log"
  "$binary" >>"$work/program.log" 2>&1 &
  program_pid=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --name "^${caption}\$" 2>/dev/null | head -n1)
  [[ -n $window ]]
}

# Waits up to $1 seconds for the program to end; leaves its exit status in $status.
wait_for_exit() {
  local tenths=$(($1 * 10))
  for _ in $(seq "$tenths"); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$program_pid" 2>/dev/null; then
    kill -9 "$program_pid" 2>/dev/null
    wait "$program_pid" 2>/dev/null
    program_pid=''
    status='still running'
    return 1
  fi
  wait "$program_pid"
  status=$?
  program_pid=''
  return 0
}

stop_program() {
  if [[ -n $program_pid ]]; then
    kill -9 "$program_pid" 2>/dev/null
    wait "$program_pid" 2>/dev/null
    program_pid=''
  fi
}

screenshot() {  # file
  timeout 20 import -window "$window" "$1" 2>/dev/null
}

# Colour of one pixel of a screenshot, as RRGGBB.
pixel() {  # file x y
  timeout 20 convert "$1" -format "%[hex:u.p{$2,$3}]" info: 2>/dev/null
}

click_at() {  # x y, in the window's client area
  timeout 10 xdotool mousemove --window "$window" "$1" "$2" click 1
}

# Controls, as the centres of their rectangles in client pixels (twips / 15).
numdisks_box=(356 607)
delay_box=(436 607)
moves_button=(508 607)
quit_button=(636 607)

type_into() {  # x y text
  click_at "$1" "$2"
  sleep 0.2
  timeout 10 xdotool type --delay 30 "$3"
}

# --- the tests -----------------------------------------------------------------------------

test_no_display() {
  local out code
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$binary" 2>&1 >/dev/null)
  code=$?
  if [[ $code -ne 2 ]]; then
    fail "exit status $code, expected 2"
  elif [[ $(printf '%s\n' "$out" | wc -l) -ne 1 || $out != *display* ]]; then
    fail "expected one line about the display, got: $out"
  fi
}

test_window_and_pictures() {
  start_program || { fail "no window titled '$caption' within 20 s"; return; }
  local geometry width height
  geometry=$(timeout 10 xwininfo -id "$window")
  width=$(awk '/Width:/ {print $2}' <<<"$geometry")
  height=$(awk '/Height:/ {print $2}' <<<"$geometry")
  if [[ "$width x $height" != '992 x 734' ]]; then
    fail "client area $width x $height, expected 992 x 734"
    return
  fi
  screenshot "$work/start.png" || { fail "no screenshot"; return; }
  local checks=(
    "205 210 FE8437 fifth column of the left post"
    "495 210 FE8437 fifth column of the middle post"
    "781 210 FE8437 fifth column of the right post"
    "186 459 C0C0C0 top frame line of the left base"
    "102 483 404040 left frame line of the left base"
    "186 515 808080 bottom frame line of the left base"
    "318 483 E0E0E0 right frame line of the left base"
    "5 5 000000 background"
    "142 427 000000 background where the hidden widest disk lies"
  )
  local check x y want what got
  for check in "${checks[@]}"; do
    read -r x y want what <<<"$check"
    got=$(pixel "$work/start.png" "$x" "$y")
    if [[ $got != "$want" ]]; then
      fail "$what at ($x, $y) is #$got, expected #$want"
      return
    fi
  done
}

test_close_box() {
  [[ -n $wm_pid ]] || return 0
  start_program || { fail "no window"; return; }
  timeout 10 xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4
  wait_for_exit 10 || { fail "still running 10 s after the close box"; return; }
  [[ $status -eq 0 ]] || fail "exit status $status, expected 0"
}

test_quit_button() {
  start_program || { fail "no window"; return; }
  click_at "${quit_button[@]}"
  wait_for_exit 10 || { fail "still running 10 s after Quit"; return; }
  [[ $status -eq 0 ]] || fail "exit status $status, expected 0"
}

# Types a count and a delay, checks the stack, starts a run and ends it in the middle with
# `finish` (a command).
run_then() {
  local finish=$1
  start_program || { fail "no window"; return; }
  type_into "${numdisks_box[@]}" 3
  type_into "${delay_box[@]}" 0.01
  sleep 0.5
  screenshot "$work/stack.png" || { fail "no screenshot"; return; }
  local got
  got=$(pixel "$work/stack.png" 142 427)
  [[ $got == A49ED3 ]] || { fail "widest disk's highlight reads #$got after typing 3"; return; }
  got=$(pixel "$work/stack.png" 156 363)
  [[ $got == 7BE264 ]] || { fail "third disk's highlight reads #$got after typing 3"; return; }
  got=$(pixel "$work/stack.png" 205 331)
  [[ $got == FE8437 ]] || { fail "a fourth disk covers the post (#$got) after typing 3"; return; }
  click_at "${moves_button[@]}"
  sleep 1.5
  kill -0 "$program_pid" 2>/dev/null || { fail "the program ended during the run"; return; }
  screenshot "$work/run.png" || { fail "no screenshot during the run"; return; }
  got=$(pixel "$work/run.png" 156 363)
  [[ $got != 7BE264 ]] || { fail "the top disk has not moved 1.5 s into the run"; return; }
  $finish
  wait_for_exit 10 || { fail "still running 10 s after ending it in the middle of a run"; return; }
  [[ $status -eq 0 ]] || fail "exit status $status, expected 0"
}

quit_by_button() { click_at "${quit_button[@]}"; }
quit_by_close_box() { timeout 10 xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4; }

test_quit_during_run() { run_then quit_by_button; }
test_close_during_run() {
  [[ -n $wm_pid ]] || return 0
  run_then quit_by_close_box
}

for name in no_display window_and_pictures close_box quit_button quit_during_run close_during_run; do
  problem=''
  "test_$name"
  stop_program
  report "$name" "$problem"
done

echo "desktop: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
