#!/bin/bash
# The real program flown under Xvfb: start-up time to the key help, then the frame rates of CABTT
# and Standard ROAM while flying, from the program's own statistics lines in output.txt.
#
#   bench/xvfb_flight.sh BUILD_DIR [SECONDS]
#
# Flight: the left button held for SECONDS (default 20), then S. The flight model steps once per
# frame, so a straight flight leaves the terrain within a second at the frame rates of small views
# and then stares at the border; the pointer therefore stands above and left of the window
# centre: 60% of the top speed (1/400 per frame) and a steady left turn, a circle of radius 0.2
# around (0.5, 0.7), about 500 frames a lap, that both methods fly whatever their frame rates.
#   Run 1: CABTT (the start-up method) flies, S, release; D for Standard ROAM, fly on, S.
#   Run 2: the same with Standard ROAM first (D at once) and CABTT second.
# Start-up: five starts timed from the process start to the key help (printed just before the
# main loop).
set -euo pipefail

build=${1:?build directory}
seconds=${2:-20}
binary=$(realpath "$build/quorvane")
terrain=$(realpath "$build/def_hf.png")
work=$(mktemp -d /tmp/quorvane-flight-XXXXXX)
xvfb_pid=""
program_pid=""

cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

display=99
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

now_ms() { date +%s%3N; }

# Starts quorvane in a fresh directory; sets program_pid and window; prints the start-up time.
start_program() {
  local dir=$1
  mkdir -p "$dir"
  cp "$terrain" "$dir/def_hf.png"
  local start
  start=$(now_ms)
  (cd "$dir" && exec "$binary" >stdout.txt 2>stderr.txt </dev/null) &
  program_pid=$!
  until grep -q "A/Z     Up/Down" "$dir/stdout.txt" 2>/dev/null; do sleep 0.005; done
  echo "start-up to key help: $(($(now_ms) - start)) ms"
  window=$(xdotool search --sync --onlyvisible --pid "$program_pid" --name '^Quorvane$' | head -1)
  xdotool windowfocus --sync "$window"
  sleep 1
}

key() { xdotool windowfocus --sync "$window" key --clearmodifiers "$1"; sleep 0.3; }

# Holds the button for the flight, prints the statistics and lets go.
fly() {
  xdotool mousemove --window "$window" 147 48
  sleep 0.3
  key S
  xdotool mousedown 1
  sleep "$seconds"
  key S
  xdotool mouseup 1
  sleep 0.3
}

stop_program() {
  key q
  wait "$program_pid" 2>/dev/null || true
  program_pid=""
}

# The frame rates of the statistics lines of output.txt, one per line.
rates() { sed -n 's/^\([0-9]*\) frames in \([0-9]*\)ms = \([0-9.]*\) frames\/second.*/\3 (\1 frames in \2 ms)/p' "$1/output.txt"; }

echo "== start-up"
for i in 1 2 3 4 5; do
  start_program "$work/start$i"
  stop_program
done

echo "== run 1: CABTT, then D and Standard ROAM"
start_program "$work/run1"
fly
key D
fly
stop_program
rates "$work/run1"
grep -E "aggregate tris|frames/second|bandwidth|Using|Caching" "$work/run1/output.txt" || true

echo "== run 2: Standard ROAM, then D and CABTT"
start_program "$work/run2"
key D
fly
key D
fly
stop_program
rates "$work/run2"
grep -E "aggregate tris|frames/second|bandwidth|Using|Caching" "$work/run2/output.txt" || true
