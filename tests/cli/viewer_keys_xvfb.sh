#!/usr/bin/env bash
# The viewer in a real window under its own X server, driven by real key presses (xdotool):
# what the keys do is seen in the Print-key screenshots, and Escape, /nokey and /close end the
# program as a user expects.
. "$(dirname "${BASH_SOURCE[0]}")/lib/common.bash"
. "$src/tests/cli/lib/xvfb.bash"
command -v xdotool >/dev/null || { echo "FAIL: xdotool is not installed (scripts/bootstrap installs it)"; exit 1; }
exe="$bin/viewkzv"
compare="python3 $src/tests/cli/lib/bmp_compare.py"
cp -r "$src/data/samples/." .

# Starts the viewer in the background on the scene with the options; sets pid and wid (the
# window, focused).
start() {
  "$exe" "$@" 2>viewer.err &
  pid=$!
  wid=$(timeout 30 xdotool search --sync --name "$(basename "$1") - ViewKZV" | head -1)
  [ -n "$wid" ] || { echo "FAIL: no window for $*"; cat viewer.err; exit 1; }
  xdotool windowfocus --sync "$wid"
  sleep 0.5
}
# Presses the keys, then Print; waits for the screenshot file named.
shot() { # file keys...
  local file=$1; shift
  for k in "$@"; do xdotool key --delay 80 "$k"; done
  sleep 0.3
  xdotool key Print
  for _ in $(seq 100); do [ -s "$file" ] && break; sleep 0.05; done
  [ -s "$file" ] || { echo "FAIL: $file was not written"; fail=1; }
  sleep 0.2
}
# Ends with the exit code of the viewer (or 124 when it does not end in time).
finish() {
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then kill "$pid"; wait "$pid"; return 124; fi
  wait "$pid"
}
differs() { awk -v d="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(d >= lo && d <= hi) }'; }

# A picture from an earlier run is kept: the first new one takes the next free name.
echo "earlier run" > ScreenShot0.bmp

start showcase.kzv /resx:320 /resy:240 /stop /t:1
shot ScreenShot1.bmp
shot ScreenShot2.bmp s               # wire shading
shot ScreenShot3.bmp s s             # point shading, then solid again
shot ScreenShot4.bmp x               # X mirror
shot ScreenShot5.bmp x c             # mirror off, next camera (the free one)
xdotool key Escape
finish
check "escape exit" 1 $?
check "earlier picture kept" "earlier run" "$(cat ScreenShot0.bmp)"

d=$($compare ScreenShot1.bmp ScreenShot2.bmp)
differs "$d" 0.02 1 && echo "ok: wire shading changes the picture ($d)" || { echo "FAIL: wire shading ($d)"; fail=1; }
d=$($compare ScreenShot1.bmp ScreenShot3.bmp --ignore-bottom 24) # not the frame-rate credit line
differs "$d" 0 0.001 && echo "ok: solid again is the same picture ($d)" || { echo "FAIL: solid again ($d)"; fail=1; }
# Mirrored, the picture matches the original flipped left to right far better than unflipped
# (not exactly: the lights stay where they are, so some faces are lit differently).
m=$($compare ScreenShot1.bmp ScreenShot4.bmp --mirror --tolerance 48)
d=$($compare ScreenShot1.bmp ScreenShot4.bmp --tolerance 48)
awk -v m="$m" -v d="$d" 'BEGIN { exit !(d >= 0.02 && m < d / 2) }' && echo "ok: X mirror flips the picture ($m flipped, $d not)" ||
  { echo "FAIL: X mirror ($m flipped, $d not)"; fail=1; }
d=$($compare ScreenShot1.bmp ScreenShot5.bmp)
differs "$d" 0.02 1 && echo "ok: next camera changes the view ($d)" || { echo "FAIL: next camera ($d)"; fail=1; }

# /nokey: Escape does nothing; with /close the program ends by itself at the loop length.
start showcase.kzv /resx:160 /resy:120 /nokey /close /t:1
xdotool key Escape
sleep 0.5
kill -0 "$pid" 2>/dev/null && echo "ok: /nokey ignores Escape" || { echo "FAIL: /nokey ended on Escape"; fail=1; }
finish
check "/close at the end exit" 1 $?

# Full screen takes the display mode the graphics chose (Xvfb offers only its own size) and
# names it in the log.
rm -f logfile.txt
timeout 60 "$exe" showcase.kzv /full /resx:1024 /resy:768 /bpp:32 /close /t:2.7 2>err.txt
check "full screen exit" 1 $?
grep -q "^Display mode set: 1024x768 [0-9]* Hz [0-9]* bpp " logfile.txt || { echo "FAIL: mode line"; cat logfile.txt; fail=1; }
exit $fail
