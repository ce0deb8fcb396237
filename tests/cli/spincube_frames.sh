#!/usr/bin/env bash
# spincube renders its lit, textured cube headless into PNG files: one file per frame, of the
# frame's size, the background at the corners, the cube in the middle with many shades, and a
# different picture in every frame. Wrong arguments and an unwritable folder are refused.
set -u
bin=$1
tool="$bin/spincube"
fail=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -x "$tool" ] || { echo "FAIL: $tool is not built"; exit 1; }

"$tool" "$work" 4 2>"$work/err.txt"
code=$?
if [ "$code" != 0 ]; then echo "FAIL: spincube exited with $code"; cat "$work/err.txt"; exit 1; fi

python3 - "$work" <<'EOF' || fail=1
import struct, sys, zlib

def read_png(path):
    data = open(path, 'rb').read()
    assert data[:8] == b'\x89PNG\r\n\x1a\n', 'no PNG signature'
    pos, idat, header = 8, b'', None
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    width, height, depth, colour = header[:4]
    assert depth == 8 and colour in (2, 6), 'unexpected PNG layout %r' % (header,)
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b, c = prev[i], (prev[i - channels] if i >= channels else 0)
            if kind == 1: line[i] = (line[i] + a) & 255
            elif kind == 2: line[i] = (line[i] + b) & 255
            elif kind == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        prev = line
    return width, height, rows

work = sys.argv[1]
ok = True
frames = []
for n in range(4):
    path = '%s/spincube_%03d.png' % (work, n)
    try:
        w, h, rows = read_png(path)
    except Exception as e:
        print('FAIL: %s: %s' % (path, e)); ok = False; continue
    frames.append(rows)
    background = (0x20, 0x28, 0x38)
    if (w, h) != (256, 256):
        print('FAIL: frame %d is %dx%d, not 256x256' % (n, w, h)); ok = False
    if rows[2][2] != background or rows[h - 3][w - 3] != background:
        print('FAIL: frame %d corners are not the background colour' % n); ok = False
    if rows[h // 2][w // 2] == background:
        print('FAIL: frame %d shows no cube in the middle' % n); ok = False
    shades = {p for row in rows for p in row}
    if len(shades) < 200:
        print('FAIL: frame %d has only %d colours (not lit and textured?)' % (n, len(shades))); ok = False
for n in range(1, len(frames)):
    if frames[n] == frames[n - 1]:
        print('FAIL: frames %d and %d are the same picture' % (n - 1, n)); ok = False
if ok:
    print('ok: four lit, textured frames that differ')
sys.exit(0 if ok else 1)
EOF

"$tool" "$work" 2>/dev/null
[ $? = 2 ] && echo "ok: missing frame count refused" || { echo "FAIL: missing frame count not refused"; fail=1; }
"$tool" "$work" zero 2>/dev/null
[ $? = 2 ] && echo "ok: bad frame count refused" || { echo "FAIL: bad frame count not refused"; fail=1; }
"$tool" "$work/missing/folder" 1 2>/dev/null
[ $? = 1 ] && echo "ok: unwritable folder reported" || { echo "FAIL: unwritable folder not reported"; fail=1; }
exit $fail
