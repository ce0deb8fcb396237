#!/usr/bin/env bash
# The viewer's menu and dialogs in a real window under its own X server, driven by real mouse
# clicks and typing (xdotool): the scene below the menu bar, a menu that leaves the picture as it
# was, clicks on the bar or a menu that are no picks, keys typed into a dialog kept from the key
# commands, a scene opened and a binary scene
# saved and opened again through the dialogs, the info window, the texture folder, a failed
# open that keeps the viewer, a file dropped onto the window (X drag and drop), Exit and /nm.
. "$(dirname "${BASH_SOURCE[0]}")/lib/common.bash"
xvfb_first=191
. "$src/tests/cli/lib/xvfb.bash"
for tool in xdotool xwd; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is not installed (scripts/bootstrap installs it)"; exit 1; }
done
exe="$bin/viewkzv"
grab="python3 $src/tests/cli/lib/xwd_to_png.py"
cp -r "$src/data/samples/." .
export XDG_CONFIG_HOME="$work/config" KZV_UI_TRACE=1
bar=19 # the menu bar: ImGui's default 13-pixel font and 3 pixels of padding above and below

# Starts the viewer in the background; sets pid and wid (the window, focused).
start() {
  : >viewer.err
  "$exe" "$@" 2>viewer.err &
  pid=$!
  wid=$(timeout 60 xdotool search --sync --name "$(basename "$1") - ViewKZV" | head -1)
  [ -n "$wid" ] || { echo "FAIL: no window for $*"; cat viewer.err; exit 1; }
  xdotool windowfocus --sync "$wid"
  sleep 0.5
}
# The lines of the user interface's trace so far: a mark to wait for what is drawn after it.
mark() { wc -l <viewer.err; }
# The window pixels of the control ID's centre, once it has been drawn (after line FROM).
where() { # id [from]
  local from=${2:-0}
  set -- "${1// /_}"
  for _ in $(seq 150); do
    tail -n +$((from + 1)) viewer.err | grep -q "^ui-item $1 " && break
    sleep 0.1
  done
  tail -n +$((from + 1)) viewer.err | grep "^ui-item $1 " | tail -1 | cut -d' ' -f3-4
}
# Clicks the control with the left button once it is drawn (after line FROM) and has stayed in
# place for half a second (a new popup is first laid out somewhere else; frames may be slow).
click() { # id [from]
  local at before=""
  at=$(where "$1" "${2:-0}")
  [ -n "$at" ] || { echo "FAIL: control $1 never drawn"; fail=1; return 1; }
  for _ in $(seq 20); do
    sleep 0.5
    before=$at
    at=$(where "$1" "${2:-0}")
    [ "$at" = "$before" ] && break
  done
  # shellcheck disable=SC2086
  xdotool mousemove --window "$wid" $at click 1
  sleep 0.4
}
menu() { # menu item: opens the menu and clicks the item
  local m
  m=$(mark)
  click "menu:$1" && click "item:$2" "$m"
}
# Opens "Open..." and types the name into its name field.
open_typed() {
  local m
  m=$(mark)
  menu File "Open..."
  [ -n "$(where field:name:typing "$m")" ] || { echo "FAIL: no open dialog"; fail=1; return 1; }
  xdotool type --delay 40 "$1"
}
title_is() { # waits for the window title
  for _ in $(seq 150); do
    [ "$(xdotool getwindowname "$wid" 2>/dev/null)" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
shot() { # the frame as the Print key saves it
  xdotool key Print
  for _ in $(seq 100); do [ -s "$1" ] && break; sleep 0.05; done
  [ -s "$1" ] || { echo "FAIL: $1 was not written"; fail=1; }
  sleep 0.3
}
window_png() { xwd -silent -id "$wid" -out w.xwd && $grab w.xwd "$1"; }
alive() { kill -0 "$pid" 2>/dev/null; }
finish() {
  for _ in $(seq 100); do alive || break; sleep 0.1; done
  if alive; then kill "$pid"; wait "$pid"; return 124; fi
  wait "$pid"
}
# The share of pixels that differ between two Print screenshots, leaving out the bottom rows,
# where the overlay's credit line shows the changing frame rate.
framediff() { python3 "$src/tests/cli/lib/bmp_compare.py" "$1" "$2" --ignore-bottom 24; }
same() { [ -n "$1" ] && awk -v d="$1" 'BEGIN { exit !(d <= 0.001) }'; }
bmp_size() { python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(); w,h=struct.unpack_from("<ii",d,18); print(w,abs(h))' "$1"; }
png_diff() { # a.png b.png [first row]: the share of pixels that differ
  python3 -c '
import sys, zlib, struct
def rows(p):
    d = open(p, "rb").read(); w, h = struct.unpack(">II", d[16:24]); i = 8; z = b""
    while i < len(d):
        n, = struct.unpack(">I", d[i:i+4]); t = d[i+4:i+8]
        if t == b"IDAT": z += d[i+8:i+8+n]
        i += 12 + n
    raw = zlib.decompress(z); s = w * 3 + 1
    return [raw[y*s+1:(y+1)*s] for y in range(h)]
first = int(sys.argv[3]) if len(sys.argv) > 3 else 0
a, b = rows(sys.argv[1])[first:-24], rows(sys.argv[2])[first:-24]  # not the credit line at the bottom
n = sum(1 for ra, rb in zip(a, b) for x in range(0, len(ra), 3) if ra[x:x+3] != rb[x:x+3])
print(n / (len(a) * len(a[0]) / 3))' "$@"; }

start showcase.kzv /resx:480 /resy:360 /stop /t:1
shot ScreenShot0.bmp
check "the scene's frame lies below the menu bar" "480 $((360 - bar))" "$(bmp_size ScreenShot0.bmp)"
grep -q "^ui-item banner:Loading... 240 " viewer.err && echo "ok: the loading banner was shown, centred" ||
  { echo "FAIL: no loading banner"; grep banner viewer.err; fail=1; }

# A menu opened and closed with a click into the scene: the menu was drawn over the window, and
# the next frames render the same picture as before (the device's state was restored).
window_png before.png
click menu:File
sleep 0.3
window_png menu.png
xdotool mousemove --window "$wid" 240 200 click 1
sleep 0.5
window_png after.png
shot ScreenShot1.bmp
d=$(png_diff before.png menu.png)
awk -v d="$d" 'BEGIN { exit !(d > 0.01) }' && echo "ok: the open menu is drawn ($d)" || { echo "FAIL: menu not drawn ($d)"; fail=1; }
d=$(png_diff before.png after.png)
same "$d" && echo "ok: the window is as before once the menu is closed ($d)" || { echo "FAIL: window after the menu ($d)"; fail=1; }
d=$(framediff ScreenShot0.bmp ScreenShot1.bmp)
same "$d" && echo "ok: frames after the menu render the same picture ($d)" || { echo "FAIL: frame after the menu ($d)"; fail=1; }
# Escape closes an open menu and does not end the viewer.
click menu:File
xdotool key Escape
sleep 0.5
window_png after.png
d=$(png_diff before.png after.png $bar) # below the bar, where "File" may stay highlighted
alive && same "$d" && echo "ok: Escape closes the menu ($d)" || { echo "FAIL: Escape in the menu ($d)"; fail=1; }

# Right clicks on the bar, and into the scene while a menu is open, are no picks: the overlay
# shows no ray result. A right click into the scene afterwards is one, and changes the picture.
xdotool mousemove --window "$wid" 200 5 click 3
click menu:File
xdotool mousemove --window "$wid" 240 200 click 3
sleep 0.3
xdotool mousemove --window "$wid" 300 5 click 1 # closes the menu if the right click did not
sleep 0.5
shot ScreenShot2.bmp
d=$(framediff ScreenShot0.bmp ScreenShot2.bmp)
same "$d" && echo "ok: right clicks on the bar and a menu are no picks ($d)" || { echo "FAIL: a menu click was a pick ($d)"; fail=1; }
xdotool mousemove --window "$wid" 240 200 click 3
sleep 0.5
shot ScreenShot3.bmp
d=$(framediff ScreenShot0.bmp ScreenShot3.bmp)
awk -v d="$d" 'BEGIN { exit !(d > 0.0005) }' && echo "ok: a right click into the scene is a pick ($d)" ||
  { echo "FAIL: the scene's right click showed nothing ($d)"; fail=1; }

# Keys typed into the open dialog (S shading, X mirror, C camera) and Escape, which cancels it,
# reach no key command: the viewer runs on with the same picture and the same scene.
open_typed "sxc"
xdotool key Escape
sleep 0.5
alive && echo "ok: Escape in a dialog cancels it and the viewer goes on" || { echo "FAIL: the viewer ended"; fail=1; }
shot ScreenShot4.bmp
d=$(framediff ScreenShot3.bmp ScreenShot4.bmp)
same "$d" && echo "ok: keys typed into the dialog changed nothing ($d)" || { echo "FAIL: keys reached the commands ($d)"; fail=1; }
check "cancelled open keeps the scene" "showcase.kzv - ViewKZV" "$(xdotool getwindowname "$wid")"

# Open a scene through the dialog: typed name, then the Open button.
m=$(mark)
open_typed "skinned.kzv"
click button:Open "$m"
title_is "skinned.kzv - ViewKZV" && echo "ok: scene opened through the dialog" || { echo "FAIL: open: $(xdotool getwindowname "$wid")"; fail=1; }
sleep 0.5
shot ScreenShot5.bmp

# Save binary: the proposed name in the start folder; a second save asks before replacing.
m=$(mark)
menu File "Save binary..."
click button:Save "$m"
for _ in $(seq 100); do [ -s skinned.3sc ] && break; sleep 0.1; done
check "saved binary scene" "3SC" "$(head -c 3 skinned.3sc 2>/dev/null)"
echo old >skinned.3sc
m=$(mark)
menu File "Save binary..."
click button:Save "$m"
click overwrite:Yes "$m"
for _ in $(seq 100); do [ "$(head -c 3 skinned.3sc)" = 3SC ] && break; sleep 0.1; done
check "replaced after the question" "3SC" "$(head -c 3 skinned.3sc)"

# The saved file opens again and shows the same picture.
open_typed "skinned.3sc"
xdotool key Return
title_is "skinned.3sc - ViewKZV" && echo "ok: binary scene opened" || { echo "FAIL: binary open"; fail=1; }
sleep 0.5
shot ScreenShot6.bmp
d=$(framediff ScreenShot5.bmp ScreenShot6.bmp)
same "$d" && echo "ok: the binary scene shows the same picture ($d)" || { echo "FAIL: binary picture ($d)"; fail=1; }

# The info window: shown over the scene, gone after OK.
window_png before.png
m=$(mark)
menu Help "Info..."
where Info:OK "$m" >/dev/null
sleep 0.3
window_png info.png
click Info:OK "$m"
sleep 0.4
window_png after.png
d=$(png_diff before.png info.png)
awk -v d="$d" 'BEGIN { exit !(d > 0.2) }' && echo "ok: info window shown ($d)" || { echo "FAIL: info window ($d)"; fail=1; }
d=$(png_diff before.png after.png)
same "$d" && echo "ok: info window closed ($d)" || { echo "FAIL: info window still shown ($d)"; fail=1; }

# The default texture folder: chosen in the folder dialog, kept in the settings file, and the
# reminder to reload.
m=$(mark)
menu File "Set default texture path..."
click folder:maps "$m"
click button:OK "$m"
where Warning:OK "$m" >/dev/null
check "texture folder in the settings file" "DefaultTexturePath=$work/maps" \
  "$(grep DefaultTexturePath "$XDG_CONFIG_HOME/Halvorn/KZVView.ini" 2>/dev/null)"
click Warning:OK "$m"

# A file that is no scene: the error is shown in the window and the last scene comes back.
printf '*3DSMAX_KZVEXPORT 200\n*GEOMOBJECT {\n*MESH { *MESH_NUMVERTEX -5\n' >broken.kzv
m=$(mark)
open_typed "broken.kzv"
xdotool key Return
for _ in $(seq 100); do
  box=$(tail -n +$((m + 1)) viewer.err | grep -o '^ui-item [^ ]*Error[^ ]*:OK' | tail -1 | cut -d' ' -f2)
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] && echo "ok: failed open shown in the window ($box)" || { echo "FAIL: no error box"; fail=1; }
alive && title_is "skinned.3sc - ViewKZV" && echo "ok: the last scene is back" || { echo "FAIL: after the failed open"; fail=1; }
[ -n "$box" ] && click "$box" "$m"

# A scene file dropped onto the window through X drag and drop loads as "Open..." does.
ASAN_OPTIONS=detect_leaks=0 timeout 30 "$bin/xdnd_drop" "$wid" "$work/fog.kzv" || { echo "FAIL: drop not taken"; fail=1; }
title_is "fog.kzv - ViewKZV" && echo "ok: dropped file opened" || { echo "FAIL: drop: $(xdotool getwindowname "$wid")"; fail=1; }

menu File Exit
finish
check "Exit ends the viewer" 1 $?

# /nm: no bar, the whole window is the scene's.
start showcase.kzv /resx:320 /resy:240 /stop /nm
shot ScreenShot7.bmp
check "/nm frame has the window's size" "320 240" "$(bmp_size ScreenShot7.bmp)"
grep -q "^ui-item menu:" viewer.err && { echo "FAIL: a menu was drawn with /nm"; fail=1; }
xdotool key Escape
finish
check "escape exit with /nm" 1 $?
exit $fail
