#!/usr/bin/env bash
# kzvtool render: pictures written headless, their names and sizes, exit codes and messages.
. "$(dirname "${BASH_SOURCE[0]}")/lib/kzvtool.bash"
scene="$src/data/samples/showcase.kzv"

size_of() { # PNG or BMP file: "WIDTHxHEIGHT"
  python3 - "$1" <<'PY'
import struct, sys
b = open(sys.argv[1], "rb").read()
if b[:8] == b"\x89PNG\r\n\x1a\n":
    w, h = struct.unpack(">II", b[16:24])
elif b[:2] == b"BM":
    w, h = struct.unpack("<ii", b[18:26]); h = abs(h)
else:
    w = h = 0
print("%dx%d" % (w, h))
PY
}

# One picture at the default size, as PNG; another as BMP at its own size (larger than the
# display mode of a headless device).
"$tool" render -o one.png "$scene" >out.txt 2>err.txt
check "png exit" 0 $?
check "png size" "640x480" "$(size_of one.png)"
check "quiet" "" "$(cat out.txt err.txt)"
"$tool" render --size 1300x900 --at 1 -o big.BMP "$scene" 2>err.txt
check "bmp exit" 0 $?
check "bmp size" "1300x900" "$(size_of big.BMP)"

# A range: numbered from 0, END included when a step lands on it; no progress line when
# standard error is no terminal.
"$tool" render --size 64x48 --range 0:0.3:0.1 -o "frame_%03d.png" "$scene" 2>err.txt
check "range exit" 0 $?
check "range files" "frame_000.png frame_001.png frame_002.png frame_003.png" "$(ls frame_* | paste -sd' ')"
check "range quiet" "" "$(cat err.txt)"
"$tool" render --size 64x48 --range 1:1.25:0.1 -o "r%d.png" "$scene"
check "range without END on a step" "r0.png r1.png r2.png" "$(ls r*.png | paste -sd' ')"

# Usage errors: exit 2 with the usage text.
expect_usage() { # description, args...
  local what=$1
  shift
  "$tool" render "$@" >out.txt 2>err.txt
  check "$what: exit" 2 $?
  grep -q '^Usage: kzvtool render' err.txt || { echo "FAIL: $what: no usage"; cat err.txt; fail=1; }
}
expect_usage "no output" "$scene"
expect_usage "no scene" -o x.png
expect_usage "other extension" -o x.jpg "$scene"
expect_usage "range without field" --range 0:1:0.5 -o x.png "$scene"
expect_usage "field without range" -o "x%d.png" "$scene"
expect_usage "two fields" --range 0:1:0.5 -o "x%d_%d.png" "$scene"
expect_usage "at and range" --at 1 --range 0:1:0.5 -o "x%d.png" "$scene"
expect_usage "zero step" --range 0:1:0 -o "x%d.png" "$scene"
expect_usage "bad size" --size 640 -o x.png "$scene"
expect_usage "bad camera" --camera first -o x.png "$scene"
expect_usage "bad shading" --shading flat -o x.png "$scene"
expect_usage "bad mirror" --mirror 2 -o x.png "$scene"
expect_usage "bad background" --background red -o x.png "$scene"
expect_usage "two scenes" -o x.png "$scene" "$scene"
"$tool" render --shading flat -o x.png "$scene" 2>err.txt
grep -q "^kzvtool: invalid value 'flat' for --shading$" err.txt || { echo "FAIL: value message"; cat err.txt; fail=1; }

# Failures: exit 1 naming the file and the reason; nothing left behind.
"$tool" render -o x.png missing.kzv 2>err.txt
check "missing scene exit" 1 $?
grep -q '^missing.kzv: failed: .*Can not open file missing.kzv' err.txt || { echo "FAIL: missing scene message"; cat err.txt; fail=1; }
"$tool" render --size 32x24 -o nodir/x.png "$scene" 2>err.txt
check "unwritable exit" 1 $?
check "unwritable message" "nodir/x.png: can not write the picture: No such file or directory" "$(cat err.txt)"
[ -e x.png ] && { echo "FAIL: a picture was left for a failed run"; fail=1; }

# Without any GL driver there is no context: exit 1 with a message, no crash.
LIBGL_DRIVERS_PATH=/nonexistent EGL_PLATFORM=surfaceless __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json \
  "$tool" render -o g.png "$scene" 2>err.txt
check "no GL exit" 1 $?
grep -q '^kzvtool: no GL context for headless rendering: ' err.txt || { echo "FAIL: no GL message"; cat err.txt; fail=1; }

exit $fail
