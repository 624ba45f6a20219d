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

# Waits up to $1 seconds (decimals allowed) for the program to end; leaves its exit status in
# $status.
wait_for_exit() {
  local start=${EPOCHREALTIME/./} limit
  limit=$(awk -v s="$1" 'BEGIN { printf "%d", s * 1000000 }')
  while kill -0 "$program_pid" 2>/dev/null; do
    ((${EPOCHREALTIME/./} - start <= limit)) || break
    sleep 0.02
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

# Checks pixels of a screenshot in one pass; each check is "x y =RRGGBB" (that colour) or
# "x y !RRGGBB" (any other) followed by what it shows. Sets the problem for the first miss.
expect_pixels() {  # file check...
  local file=$1 format='' check x y want what got
  shift
  for check in "$@"; do
    read -r x y want what <<<"$check"
    format+="%[hex:u.p{$x,$y}]\n"
  done
  mapfile -t got < <(timeout 20 convert "$file" -format "$format" info: 2>/dev/null)
  local i=0
  for check in "$@"; do
    read -r x y want what <<<"$check"
    if [[ ${want:0:1} == '=' && ${got[i]:-none} != "${want:1}" ]]; then
      fail "$what at ($x, $y) is #${got[i]:-none}, expected #${want:1}"
      return 1
    elif [[ ${want:0:1} == '!' && ${got[i]:-none} == "${want:1}" ]]; then
      fail "$what at ($x, $y) is still #${want:1}"
      return 1
    fi
    i=$((i + 1))
  done
}

# The board above the control row, as a hash of its pixels; nothing when it cannot be read.
board_hash() {  # file
  timeout 20 convert "$1" -crop 992x585+0+0 +repage "rgb:$work/board.rgb" 2>/dev/null &&
    md5sum <"$work/board.rgb" | cut -d' ' -f1
}

same_board() {  # hash hash
  [[ -n $1 && $1 == "$2" ]]
}

# The run is one click handler that returns when done: the board has settled when two
# screenshots in a row show it alike. Leaves the last one in $1.
wait_settled() {  # file
  local previous='' current
  for _ in $(seq 60); do
    sleep 0.5
    screenshot "$work/settling.png" || return 1
    current=$(board_hash "$work/settling.png")
    if same_board "$current" "$previous"; then
      mv "$work/settling.png" "$1"
      return 0
    fi
    previous=$current
  done
  return 1
}

# Twips to the nearest client pixel.
px() { echo $(((2 * $1 + 15) / 30)); }

# The three widest disks: left edge, highlight and right edge colours, highlight column.
disk_left=(6A6CC0 4CB5B8 55CB56)
disk_light=(A49ED3 76D8C5 7BE264)
disk_right=(0C0E5D 066E6E 045716)
disk_light_column=(61 50 41)

# After a three-disk run every disk rests on the right peg. Disk i rests at Top 6158 - 480 i,
# and at the largest Left on its own 40-twip grid (its design Left plus a multiple of 40) that
# lies strictly left of centring on the post, 11798 - width / 2.
expect_three_on_right() {  # file
  local checks=() i width home top left k l r t mid hl
  for i in 0 1 2; do
    width=$((3855 - 480 * i))
    home=$((1208 + 240 * i))
    ((i == 2)) && home=1718
    top=$((6158 - 480 * i))
    k=$(((23595 - width - 2 * home) / 80))
    left=$((home + 40 * k))
    l=$(px "$left")
    r=$(px $((left + width)))
    t=$(px "$top")
    mid=$((t + 16))
    hl=$((l + disk_light_column[i]))
    checks+=(
      "$((l - 1)) $mid =000000 background left of disk $i"
      "$l $mid =${disk_left[i]} left edge of disk $i"
      "$hl $mid =${disk_light[i]} highlight of disk $i"
      "$((r - 1)) $mid =${disk_right[i]} right edge of disk $i"
      "$r $mid =000000 background right of disk $i"
    )
  done
  # Top edges: disk 2 against the background, disks 1 and 0 against the disk above them.
  checks+=(
    "729 346 =000000 background above disk 2"
    "729 347 =7BE264 top row of disk 2"
    "723 379 !76D8C5 disk 2 in front of the top row of disk 1"
    "723 380 =76D8C5 first uncovered row of disk 1"
    "718 410 !A49ED3 disk 1 above disk 0"
    "718 411 =A49ED3 top row of disk 0"
    "142 427 =000000 left peg empty"
    "432 427 =000000 middle peg empty"
  )
  expect_pixels "$1" "${checks[@]}"
}

# Every pixel inside a box's edge has the box's own colour: no text, no prompt.
expect_box_empty() {  # file x y width height colour name
  local colours
  colours=$(timeout 20 convert "$1" -crop "$4x$5+$2+$3" +repage -unique-colors -format '%w %[hex:u.p{0,0}]' \
    info: 2>/dev/null)
  [[ $colours == "1 $6" ]] || { fail "the $7 box is not empty (colours: $colours)"; return 1; }
}

click_at() {  # x y, in the window's client area
  timeout 10 xdotool mousemove --window "$window" "$1" "$2" click 1
}

# Controls, as the centres of their rectangles in client pixels (twips / 15).
numdisks_box=(356 607)
delay_box=(436 607)
moves_button=(508 607)
reset_button=(572 607)
quit_button=(636 607)
# Inside the boxes' two-pixel edges: x y width height, and the box's own colour.
numdisks_inside=(323 594 67 27 070000)
delay_inside=(403 594 67 27 000000)

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
  # Centred on the 1280 x 1024 screen, give or take what the frame adds around the client area.
  local x y extents left=0 right=0 top=0 bottom=0
  x=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$geometry")
  y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$geometry")
  extents=$(timeout 10 xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | grep -o '[0-9, ]*$')
  if [[ -n $extents ]]; then
    IFS=', ' read -r left right top bottom <<<"$extents"
  fi
  local off_x=$((2 * x + width - 1280)) off_y=$((2 * y + height - 1024))
  if ((off_x < 0)); then off_x=$((-off_x)); fi
  if ((off_y < 0)); then off_y=$((-off_y)); fi
  if ((off_x > 2 * (left + right) + 2 || off_y > 2 * (top + bottom) + 2)); then
    fail "client area at ($x, $y) is not centred on the screen (frame $left $right $top $bottom)"
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
  wait_for_exit 1 || { fail "still running 1 s after ending it in the middle of a run"; return; }
  [[ $status -eq 0 ]] || fail "exit status $status, expected 0"
}

quit_by_button() { click_at "${quit_button[@]}"; }
quit_by_close_box() {
  timeout 10 xdotool windowactivate --sync "$window"
  timeout 10 xdotool key --clearmodifiers alt+F4
}

test_quit_during_run() { run_then quit_by_button; }
test_close_during_run() {
  [[ -n $wm_pid ]] || return 0
  run_then quit_by_close_box
}

# A whole three-disk run with no pause: every disk ends where the animation's rules put it.
# The program stays up for the two tests after this one.
test_full_run() {
  start_program || { fail "no window"; return; }
  screenshot "$work/empty.png" || { fail "no screenshot"; return; }
  empty_board=$(board_hash "$work/empty.png")
  type_into "${numdisks_box[@]}" 3
  type_into "${delay_box[@]}" 0
  sleep 0.3
  click_at "${moves_button[@]}"
  wait_settled "$work/settled.png" || { fail "the board did not settle within 30 s"; return; }
  expect_three_on_right "$work/settled.png" || return
  keep_program=1
}

test_second_moves_changes_nothing() {
  [[ -n $program_pid ]] || { fail "no program left by the full run"; return; }
  keep_program=1
  click_at "${moves_button[@]}"
  sleep 1
  screenshot "$work/again.png" || { fail "no screenshot"; return; }
  same_board "$(board_hash "$work/again.png")" "$(board_hash "$work/settled.png")" ||
    fail "the board changed after a second press of Moves"
}

test_reset_clears_board() {
  [[ -n $program_pid ]] || { fail "no program left by the full run"; return; }
  click_at "${reset_button[@]}"
  sleep 0.5
  screenshot "$work/reset.png" || { fail "no screenshot"; return; }
  same_board "$(board_hash "$work/reset.png")" "$empty_board" ||
    { fail "after Reset the board differs from the one at start, with every disk hidden"; return; }
  expect_box_empty "$work/reset.png" "${numdisks_inside[@]}" count || return
  expect_box_empty "$work/reset.png" "${delay_inside[@]}" delay
}

# Reset in the middle of a run, then a new run from the count typed again.
test_run_after_reset() {
  start_program || { fail "no window"; return; }
  screenshot "$work/empty.png" || { fail "no screenshot"; return; }
  empty_board=$(board_hash "$work/empty.png")
  type_into "${numdisks_box[@]}" 3
  type_into "${delay_box[@]}" 0.005
  sleep 0.3
  click_at "${moves_button[@]}"
  sleep 1
  screenshot "$work/midrun.png" || { fail "no screenshot"; return; }
  expect_pixels "$work/midrun.png" "156 363 !7BE264 top disk at its design place" || return
  click_at "${reset_button[@]}"
  # The stopped run finishes the phase under way on its hidden disk: at most about 220 steps.
  sleep 3
  screenshot "$work/reset.png" || { fail "no screenshot"; return; }
  same_board "$(board_hash "$work/reset.png")" "$empty_board" ||
    { fail "a disk is still shown after Reset in the middle of a run"; return; }
  # The delay box is empty now, which means no pause.
  type_into "${numdisks_box[@]}" 3
  sleep 0.3
  click_at "${moves_button[@]}"
  wait_settled "$work/settled.png" || { fail "the board did not settle within 30 s"; return; }
  expect_three_on_right "$work/settled.png"
}

tests=(no_display window_and_pictures close_box quit_button full_run second_moves_changes_nothing
  reset_clears_board run_after_reset quit_during_run close_during_run)
for name in "${tests[@]}"; do
  problem=''
  keep_program=''
  "test_$name"
  # A test may leave the program running for the next one, but only when it passed.
  if [[ -z $keep_program || -n $problem ]]; then
    stop_program
  fi
  report "$name" "$problem"
done
stop_program

echo "desktop: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
