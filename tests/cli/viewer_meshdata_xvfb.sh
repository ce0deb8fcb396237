#!/usr/bin/env bash
# Ctrl + E in the viewer's real window (xdotool key presses under a private X server): the
# current mesh's faces and vertex positions land in FaceData.txt and VertexData.txt in the
# working directory, also when /esc leaves only Escape working, and an info box says so; once it
# is closed the viewer goes on and ends on Escape.
. "$(dirname "${BASH_SOURCE[0]}")/lib/common.bash"
xvfb_first=241
. "$src/tests/cli/lib/xvfb.bash"
for tool in xdotool xwininfo; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is not installed (scripts/bootstrap installs it)"; exit 1; }
done
exe="$bin/viewkzv"

# Two triangles of one smoothing group: the loader keeps the four corners and the face order.
cat >quad.kzv <<'KZV'
*3DSMAX_KZVEXPORT 200
*SCENE {
	*SCENE_FIRSTFRAME 0
	*SCENE_LASTFRAME 30
	*SCENE_FRAMESPEED 30
	*SCENE_TICKSPERFRAME 160
}
*GEOMOBJECT {
	*NODE_NAME "Quad"
	*NODE_TM {
		*NODE_NAME "Quad"
		*TM_ROW0 1 0 0
		*TM_ROW1 0 1 0
		*TM_ROW2 0 0 1
		*TM_ROW3 0 0 0
	}
	*MESH {
		*MESH_NUMVERTEX 4
		*MESH_NUMFACES 2
		*MESH_VERTEX_LIST {
			*MESH_VERTEX 0 -1.5 0.25 2
			*MESH_VERTEX 1 1.5 0.25 2
			*MESH_VERTEX 2 1.5 -0.125 0
			*MESH_VERTEX 3 -1.5 10.5 0
		}
		*MESH_FACE_LIST {
			*MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 0 *MESH_SMOOTHING 1 *MESH_MTLID 0
			*MESH_FACE 1: A: 0 B: 2 C: 3 AB: 1 BC: 1 CA: 0 *MESH_SMOOTHING 1 *MESH_MTLID 0
		}
	}
}
KZV

"$exe" quad.kzv /resx:320 /resy:240 /esc /stop 2>viewer.err &
pid=$!
wid=$(timeout 30 xdotool search --sync --name "quad.kzv - ViewKZV" | head -1)
[ -n "$wid" ] || { echo "FAIL: no viewer window"; cat viewer.err; exit 1; }
xdotool windowfocus --sync "$wid"
sleep 0.5

xdotool key --delay 80 e # E alone is no command
sleep 0.3
[ ! -e FaceData.txt ] && echo "ok: E alone writes nothing" || { echo "FAIL: E alone wrote the files"; fail=1; }

# The box's title is a UTF-8 name, which xdotool's search does not match: xwininfo finds it.
info_box() { xwininfo -root -tree | awk '$2 == "\"Info\":" { print $1; exit }'; }
xdotool key --delay 80 ctrl+e
box=
for _ in $(seq 200); do box=$(info_box); [ -n "$box" ] && break; sleep 0.1; done
[ -n "$box" ] && echo "ok: info box shown" || { echo "FAIL: no info box"; cat viewer.err; fail=1; }
check "faces" "$(printf '0  1  2\n0  2  3\n')" "$(cat FaceData.txt)"
check "first vertex" "-1.500000  0.250000  2.000000" "$(head -n 1 VertexData.txt)"
check "vertex lines" 4 "$(wc -l <VertexData.txt)"
check "single line feeds" 0 "$(cat FaceData.txt VertexData.txt | tr -cd '\r' | wc -c)"

# The box closed with Return, the viewer obeys Escape again.
if [ -n "$box" ]; then
  xdotool windowfocus --sync "$box" key Return
  for _ in $(seq 50); do [ -n "$(info_box)" ] || break; sleep 0.1; done
  [ -z "$(info_box)" ] || { echo "FAIL: the info box stayed open"; fail=1; }
fi
xdotool windowfocus --sync "$wid" key Escape
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: the viewer did not end on Escape"
  kill "$pid"
  fail=1
fi
wait "$pid"
check "escape exit" 1 $?
exit $fail
