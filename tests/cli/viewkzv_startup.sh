#!/usr/bin/env bash
# The viewer's start-up as a user meets it: help, missing files, options, exit codes.
. "$(dirname "${BASH_SOURCE[0]}")/lib/common.bash"
exe="$bin/viewkzv"

# Help: the usage box text, exactly, captioned; exit 1. "/H" wins even after a file name.
for opt in "/?" "/H" "/help" "-h" "--HELP"; do
  "$exe" "$src/data/real/RotatingCube.kzv" "$opt" 2>err.txt >out.txt
  check "help $opt exit" 1 $?
  grep -q "^ViewKZV v1.82: Command: ViewKZV <file.kzv> \[Options\] $" err.txt || { echo "FAIL: help caption/first line ($opt)"; fail=1; }
  grep -qP '^ /MX\t\t\t\t    mirror x-axis /maxFPS             sets a maximum number of frames per second$' err.txt ||
    { echo "FAIL: help /MX line ($opt)"; fail=1; }
  grep -q '^ /T:x                  define starting point (in sec)$' err.txt || { echo "FAIL: help last option line"; fail=1; }
done

# The whole usage box, exactly as shown (caption, text with its blanks and tabs, last line).
cat > expected_usage.txt <<'USAGE'
ViewKZV v1.82: Command: ViewKZV <file.kzv> [Options] 

Options: 
 /?, /H /HELP      shows this window
 /LOOP               loops the animation 
 /FULL                fullscreen presentation
 /STOP               manual animation
 /FPS                  shows fps
 /SCR:x              use adapter (screen) number x
 /NOSPEC           disable specular lighting
 /RESX:x             x display resolution (window x size)
 /RESY:x             y display resolution (window y size)
 /BPP:x               sets bits per pixel (fullscreen)
 /RR:x                 sets the display's refresh rate
 /CAM:x              use camera x
 /CLOSE              closes viewer at animation end
 /NR                   disables window resizing
 /NM                   disables menu
 /NL                   disables lightin
 /ZN:x                 sets the near z clipping plane
 /ZF:x                 sets the far z clipping plane
 /SPD:x               sets speed (1=original speed)
 /WBUF               use w-buffer instead of z-buffer
 /NOKEY              disables all keyboard commands
 /ESC                user can only press ESC
 /VS:x                vsync (0,1,2,3 or 4)
 /HV                   hardware vertex processing
 /HWSKIN             hardware skinning
 /REF                 use reference rasterizer
 /MX				    mirror x-axis /maxFPS             sets a maximum number of frames per second
 /T:x                  define starting point (in sec)

On Linux -x and --x work like /x; values attach with ':' or '=' (--resx=800).
USAGE
"$exe" /? 2>err.txt
cmp -s expected_usage.txt err.txt || { echo "FAIL: usage text differs"; diff expected_usage.txt err.txt | cat -A | head; fail=1; }

# No scene file: the open dialog is not there yet; a loud placeholder with exit 3.
"$exe" /loop 2>err.txt
check "no file exit" 3 $?
check "no file message" "Command: ViewKZV <file.kzv> [Options] |no scene file given" "$(paste -sd'|' err.txt)"

# A missing file: the box text with the path, exit 0, before any window.
"$exe" "missing dir/none.kzv" /loop 2>err.txt
check "missing file exit" 0 $?
check "missing file box" "ViewKZV v1.82: Can not open file 'missing dir/none.kzv'" "$(cat err.txt)"

# A path of more than 255 bytes is refused with a clear message.
long=$(printf 'x%.0s' $(seq 300))
"$exe" "$long.kzv" 2>err.txt
check "long path exit" 0 $?
grep -q "longer than 255 bytes" err.txt || { echo "FAIL: long path message"; fail=1; }

# A file that opens plays; headless with /close it ends at the animation's end (10 s here,
# started 0.2 s before it) with exit 1 and nothing on standard error.
cp "$src/data/real/RotatingCube.kzv" "a scene.kzv"
start=$(date +%s.%N)
timeout 60 "$exe" "a scene.kzv" /headless /close /t:9.8 2>err.txt
check "play to the end exit" 1 $?
check "play to the end quiet" "" "$(cat err.txt)"
awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { exit !(e - s >= 0.2) }' || { echo "FAIL: ended before its time"; fail=1; }

# /maxfps is offered as a float, 0 or below meaning no limit.
"$exe" /settings /maxfps:24.5 >out.txt
check "maxfps" "maximum_frame_rate=24.5" "$(grep '^maximum_frame_rate=' out.txt)"
"$exe" /settings /maxfps:-3 >out.txt
check "maxfps negative" "maximum_frame_rate=0" "$(grep '^maximum_frame_rate=' out.txt)"

"$exe" /settings /reload:-3 >out.txt
check "reload negative" "reload_seconds=0" "$(grep '^reload_seconds=' out.txt)"

# A scene whose sound file is missing ends with the sound's message (exit 0, the error box).
sed 's/^\(\s*\*SCENE_FRAMESPEED.*\)$/\1\n\t*SCENE_SOUNDFILE "gone.wav"/' "a scene.kzv" > sound.kzv
grep -q 'SCENE_SOUNDFILE "gone.wav"' sound.kzv || { echo "FAIL: test scene without sound line"; fail=1; }
timeout 60 "$exe" sound.kzv /headless /close /t:9.9 2>err.txt
check "missing sound exit" 0 $?
grep -q "^DXC Error (DirectX8): DXC_Media: Can not load file: .*gone.wav$" err.txt || { echo "FAIL: missing sound message"; cat err.txt; fail=1; }

# /settings: every option of the table, absolute paths and '-' options included; exit 1.
abs="$work/a scene.kzv"
"$exe" -resx:800 "$abs" /LOOP --full /stop /FPS /close /nospec /nr /nokey /nm /nl /esc /mx /wbuf /hv \
  /hwskin /ref /bpp=32 /rr:60 /scr:1 /cam:-1 /vs:2 /zn:0.25 /zf:1000 /spd=0.5 /t:2.5 /reload:2.5 --settings >out.txt
check "settings exit" 1 $?
expected="scene_file=$abs
loop=1
windowed=0
mirror_off=1
start_paused=1
close_at_end=1
lighting=0
show_frame_rate=1
specular=0
w_buffer=1
hardware_vertex_processing=1
hardware_skinning=1
width=800
height=768
bits_per_pixel=32
adapter=1
first_camera=-1
vsync=2
refresh_rate=60
near_plane=0.25
far_plane=1000
speed=0.5
start_time=2.5
no_resize=1
reference_rasteriser=1
no_keys=1
escape_only=1
no_menu=1
maximum_frame_rate=0
headless=0
reload_seconds=2.5"
check "settings all" "$expected" "$(cat out.txt)"

# Defaults, the first-word rule, and a detached value: "--resx 800" leaves the width alone
# and "800" becomes the scene path.
"$exe" /settings /resxy:5 /resx:900 >out.txt
check "first word wins" "width=640" "$(grep '^width=' out.txt)"
"$exe" /settings --resx 800 >out.txt
check "detached value width" "width=640" "$(grep '^width=' out.txt)"
check "detached value path" "scene_file=800" "$(grep '^scene_file=' out.txt)"
"$exe" /settings /resx: /t:abc >out.txt
check "empty int" "width=0" "$(grep '^width=' out.txt)"
check "bad float" "start_time=0" "$(grep '^start_time=' out.txt)"
"$exe" /settings >out.txt
check "defaults (windowed width height bpp speed)" "1 640 480 16 1" "$(grep -E '^(width|height|bits_per_pixel|windowed|speed)=' out.txt | cut -d= -f2 | paste -sd' ')"

# The default texture folder: a key without the value logs the read error and goes on.
mkdir -p cfg/Halvorn && echo "Other=1" > cfg/Halvorn/KZVView.ini
rm -f logfile.txt
XDG_CONFIG_HOME="$work/cfg" "$exe" "a scene.kzv" /headless /close /t:10 2>err.txt
check "registry missing value exit" 1 $?
grep -q '^RegQueryValueEx returned error: No such file or directory (Time:[0-9.]*, free sysmem:[0-9]*)$' logfile.txt ||
  { echo "FAIL: registry log line"; cat logfile.txt; fail=1; }
# No key at all: nothing is logged (headless asked for, so no display note either).
rm -f logfile.txt
XDG_CONFIG_HOME="$work/none" "$exe" "a scene.kzv" /headless /close /t:10 2>err.txt
grep -q "RegQueryValueEx\|No display" logfile.txt && { echo "FAIL: missing key logged something"; fail=1; }

exit $fail
