#!/usr/bin/env bash
# Builds the benchmarks in a build folder and runs them all, side by side in one run, on Qt's
# offscreen platform, on a private virtual X server (Xvfb, with openbox when present) and on a
# private Wayland compositor without a screen (weston, when present).
# Prints one Markdown table, headed by the machine it ran on, and keeps a copy in
# BUILD/benchmarks.md. Usage:
#   scripts/run-benchmarks.sh [BUILD]     (default build/dev; configured here if it is not yet)
# Takes about seven minutes; the machine should be otherwise idle.
#
# With CORVANE_BENCH_BASE set to an earlier commit, the seven-disk runs are measured side by side
# with that commit's own benchmark on its own code, built in BUILD/base (the first run builds it,
# which takes a few minutes more). Any commit whose run benchmark takes one run per process will
# do: from 649f90e on.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_WERROR=ON >/dev/null
fi
cmake --build "$build" -j2 --target corvane bench_pause bench_run bench_startup bench_empty_window \
  bench_text_window bench_paste >/dev/null
command -v Xvfb >/dev/null || { echo "run-benchmarks: Xvfb is missing (apt install xvfb)" >&2; exit 1; }
type=$(awk -F= '/^CMAKE_BUILD_TYPE:/ {print $2}' "$build/CMakeCache.txt")

# An earlier commit's own run benchmark, built from that commit alone: prints the path of its
# bench_run, or nothing when there is no such commit here.
build_base() {
  local commit dir=$build/base
  commit=$(git rev-parse --verify --quiet "$1^{commit}" 2>/dev/null) || return 0
  if [[ $(cat "$dir/commit" 2>/dev/null) != "$commit" ]]; then
    rm -rf "$dir"
    mkdir -p "$dir/source"
    git archive "$commit" | tar -x -C "$dir/source"
    echo "$commit" >"$dir/commit"
  fi
  cmake -S "$dir/source" -B "$dir/build" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DCORVANE_WERROR=OFF \
    -DCORVANE_BUILD_TESTS=OFF >/dev/null
  cmake --build "$dir/build" -j2 --target bench_run >/dev/null
  echo "$dir/build/bench/bench_run"
}
base_args=()
if [[ -n ${CORVANE_BENCH_BASE:-} ]]; then
  base_commit=$CORVANE_BENCH_BASE
  base_run=$(build_base "$base_commit")
  if [[ -n $base_run ]]; then
    base_args=(--base "$base_run" --base-name "before (${base_commit:0:7})")
  fi
fi

work=$(mktemp -d)
xvfb_pid=''
wm_pid=''
weston_pid=''
sway_pid=''
sway_runtime=''
cleanup() {
  for pid in "$sway_pid" "$weston_pid" "$wm_pid" "$xvfb_pid"; do
    if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null || true
    fi
  done
  rm -rf "$work" ${sway_runtime:+"$sway_runtime"}
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY

# Xvfb picks a free display number itself and writes it to the descriptor given.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s $work/display ]] && break
  sleep 0.1
done
[[ -s $work/display ]] || { echo "run-benchmarks: Xvfb did not start" >&2; exit 1; }
display=":$(head -n1 "$work/display")"
xscreen='Xvfb (xcb)'
if command -v openbox >/dev/null; then
  DISPLAY=$display openbox --sm-disable >"$work/wm.log" 2>&1 &
  wm_pid=$!
  xscreen='Xvfb (xcb) + openbox'
  sleep 1
fi

# A Wayland compositor without a screen, drawing in software, as Qt's Wayland client meets it.
wscreen=''
if command -v weston >/dev/null; then
  weston --backend=headless-backend.so --use-pixman --no-config --idle-time=0 --width=1280 \
    --height=1024 --socket=corvane-bench >"$work/weston.log" 2>&1 &
  weston_pid=$!
  for _ in $(seq 100); do
    [[ -S $XDG_RUNTIME_DIR/corvane-bench ]] && break
    sleep 0.1
  done
  [[ -S $XDG_RUNTIME_DIR/corvane-bench ]] && wscreen='weston (headless, pixman)'
fi
[[ -n $wscreen ]] || echo "run-benchmarks: no Wayland rows (weston is missing or did not start)" >&2

# A compositor that draws windows' frames itself, as most desktops but GNOME's do: sway, without
# a screen. It will not run as root, so root starts it as nobody, in a runtime folder of its own.
sscreen=''
sway_socket=''
if command -v sway >/dev/null; then
  sway_runtime=$(mktemp -d)
  as_user=()
  if [[ $(id -u) == 0 ]]; then
    chown nobody "$sway_runtime"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  fi
  : >"$sway_runtime/sway.conf"
  "${as_user[@]}" env XDG_RUNTIME_DIR="$sway_runtime" WLR_BACKENDS=headless WLR_RENDERER=pixman \
    WLR_LIBINPUT_NO_DEVICES=1 sway -c "$sway_runtime/sway.conf" >"$work/sway.log" 2>&1 &
  sway_pid=$!
  for _ in $(seq 100); do
    sway_socket=$(find "$sway_runtime" -maxdepth 1 -name 'wayland-*' -type s 2>/dev/null | head -n1)
    [[ -n $sway_socket ]] && break
    sleep 0.1
  done
  [[ -n $sway_socket ]] && sscreen='sway (headless, pixman)'
fi

bin=$build/bench
# The work of one launch, which the machine's load does not change: instructions counted by
# callgrind from launch until the window, closed at once after its first paint, has gone.
instructions() {
  local out=$work/callgrind.out
  env DISPLAY="$display" QT_QPA_PLATFORM=xcb CORVANE_PROBE_FD=9 \
    LD_PRELOAD="$bin/libbench_first_paint_probe.so" valgrind --tool=callgrind \
    --callgrind-out-file="$out" "$1" 9>/dev/null >/dev/null 2>"$work/callgrind.log" || return 1
  awk '/^summary:/ {printf "%.1f", $2 / 1e6}' "$out"
}
launch_instructions() {
  command -v valgrind >/dev/null || return 0
  local program text empty
  program=$(instructions "$build/bin/corvane") && text=$(instructions "$bin/bench_text_window") &&
    empty=$(instructions "$bin/bench_empty_window") || return 0
  awk -v p="$program" -v t="$text" -v e="$empty" -v screen="$xscreen" 'BEGIN {
    r = p / t
    printf "| Launch to first paint, closed at once: million instructions (callgrind) | %s | %.1f | " \
      "text window: %.1f; ratio %.2f×<br>empty Qt window: %.1f | ≤ 1.15× the text window | %s |\n",
      screen, p, t, r, e, r <= 1.15 ? "yes" : sprintf("no, %.2f× over", r)
  }'
}
offscreen() { env -u DISPLAY QT_QPA_PLATFORM=offscreen "$@"; }
onxvfb() { env DISPLAY="$display" QT_QPA_PLATFORM=xcb "$@"; }
onweston() { env -u DISPLAY WAYLAND_DISPLAY=corvane-bench QT_QPA_PLATFORM=wayland "$@"; }
onsway() { env -u DISPLAY WAYLAND_DISPLAY="$sway_socket" QT_QPA_PLATFORM=wayland "$@"; }

cpu=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo)
qt=$(qtpaths6 --qt-version 2>/dev/null || dpkg-query -W -f '${Version}' libqt6core6 2>/dev/null ||
  echo unknown)
{
  echo "Machine: $cpu, $(nproc) cores; Qt $qt; build $type ($build); $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo '| Benchmark | Screen | Measured: median (min–max) | Side by side | Target | Met |'
  echo '|---|---|---|---|---|---|'
  offscreen "$bin/bench_pause" offscreen
  onxvfb "$bin/bench_pause" "$xscreen"
  offscreen "$bin/bench_run" offscreen --headless "${base_args[@]}"
  # Also through X shared memory, as Qt sends images by default.
  onxvfb "$bin/bench_run" "$xscreen" --x-shared-memory "${base_args[@]}"
  onxvfb "$bin/bench_startup" "$build/bin/corvane" "$bin/bench_empty_window" "$bin/bench_text_window" \
    10 "$xscreen"
  launch_instructions
  if [[ -n $wscreen ]]; then
    onweston "$bin/bench_run" "$wscreen" --x11 "$display" "${base_args[@]}"
    onweston "$bin/bench_startup" --x11 "$display" "$build/bin/corvane" "$bin/bench_empty_window" \
      "$bin/bench_text_window" 10 "$wscreen"
  fi
  if [[ -n $sscreen ]]; then
    onsway "$bin/bench_startup" --x11 "$display" "$build/bin/corvane" "$bin/bench_empty_window" \
      "$bin/bench_text_window" 10 "$sscreen"
  fi
  offscreen "$bin/bench_paste" offscreen
} | tee "$build/benchmarks.md"
# The browser edition, beside the desktop's figures above.
./scripts/run-web-benchmarks.sh "$build/benchmarks.md" "$build" | tee -a "$build/benchmarks.md"
