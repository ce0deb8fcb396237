#!/usr/bin/env bash
# kzvtool info over many files: every real scene reports, broken and hostile files give an
# error entry and exit code 1 while the other files still report, each file's log stands
# alone, names made on Windows come out as UTF-8, numbers that are not finite as null.
. "$(dirname "${BASH_SOURCE[0]}")/lib/kzvtool.bash"

# ---- every real scene gives a scene object; the invalid one an error --------------------------
real=()
while IFS= read -r f; do real+=("$f"); done < <(find "$src/data/real" -name '*.kzv' -not -path '*/invalid/*' | sort)
"$tool" info --json "${real[@]}" >real.json 2>err.txt
check "real scenes: exit" 0 $?
check "real scenes: count" "${#real[@]}" "$(python3 -c 'import json,sys; print(len(json.load(sys.stdin)))' <real.json)"
checks real.json <<'EOF'
for e in report:
    expect("%s: a scene, no error" % e["file"].split("/data/")[-1], ("error" in e, "meshes" in e), (False, True))
    expect("%s: format" % e["file"].split("/data/")[-1], e.get("format"), "kzv")
# Spot checks: the motion-capture scene's animated nodes, the rifle's textures beside it.
rom = entry_for("MotionCaptureROM.kzv")
expect("motion capture: animated nodes", any(o["keys"]["rot"] > 1 for o in rom["meshes"] + rom["helpers"]), True)
rifle = entry_for("/Rifle.kzv")
expect("rifle maps loaded", all(mp["loaded"] for m in rifle["meshes"] for mat in m["materials"] for mp in mat["maps"]), True)
EOF

# ---- one failing file among good ones: argument order kept, exit 1 -----------------------------
printf '*3DSMAX_KZVEXPORT 200\n*GEOMOBJECT {\n *NODE_NAME "Box"\n *MESH {\n  *MESH_NUMVERTEX 2\n  *MESH_VERTEX_LIST {\n   *MESH_VERTEX 1 0 0 0\n  }\n }\n}\n' >order.kzv
printf '*GEOMOBJECT {\n *MESH {\n  *MESH_NUMVERTEX 2000000000\n' >count.kzv
# Cut inside the second GEOMOBJECT's vertex list: its faces are never read, all of them are
# degenerate and the mesh has no vertices (an error). Cut inside the helper: a warning.
offset() { grep -b -o "$1" "$src/data/samples/showcase.kzv" | sed -n "$2p" | cut -d: -f1; }
head -c $(($(offset '\*GEOMOBJECT' 2) + 600)) "$src/data/samples/showcase.kzv" >cut.kzv
head -c $(($(offset '\*HELPEROBJECT' 1) + 100)) "$src/data/samples/showcase.kzv" >cut2.kzv
head -c 2 /dev/zero >tiny.kzv
: >empty.kzv
printf '3SCg' >newer.3sc
printf '3SCf\x00\x00' >short.3sc
head -c 4096 /dev/urandom >noise.kzv
"$tool" info --json "$src/data/samples/fog.kzv" "$src/data/real/invalid/InvalidUVIndex.kzv" order.kzv count.kzv \
  missing.kzv cut.kzv cut2.kzv tiny.kzv empty.kzv newer.3sc short.3sc noise.kzv "$src/data/samples/skinned.kzv" \
  >mixed.json 2>err.txt
check "mixed: exit" 1 $?
[ ! -s err.txt ] || { echo "FAIL: mixed: standard error not empty"; cat err.txt; fail=1; }
checks mixed.json <<'EOF'
names = [e["file"].split("/")[-1] for e in report]
expect("argument order", names, ["fog.kzv", "InvalidUVIndex.kzv", "order.kzv", "count.kzv", "missing.kzv",
                                 "cut.kzv", "cut2.kzv", "tiny.kzv", "empty.kzv", "newer.3sc", "short.3sc", "noise.kzv", "skinned.kzv"])
failed = {e["file"].split("/")[-1] for e in report if "error" in e}
expect("failed files", sorted(failed), sorted(["InvalidUVIndex.kzv", "order.kzv", "count.kzv", "missing.kzv",
                                               "cut.kzv", "newer.3sc", "short.3sc"]))
for e in report:
    if "error" in e:
        expect("%s: error entry has only file, error, log" % e["file"], list(e), ["file", "error", "log"])
        # The error as the box shows it, and the log line the error wrote.
        expect("%s: error logged" % e["file"], any(l.startswith("Error:") and l[6:] == e["error"] for l in e["log"]), True)
order = entry_for("order.kzv")
expect("order error", order["error"], "KZVLoader: order.kzv: Wrong vertex list order!")
expect("missing file", entry_for("missing.kzv")["error"], "KZVLoader: missing.kzv: Can not open file missing.kzv")
expect("cut in a vertex list", entry_for("cut.kzv")["error"], "KZVLoader: cut.kzv: Mesh without vertices: 'Arm'")
# A file cut in a later block is a warning: what was read is assembled.
cut = entry_for("cut2.kzv")
expect("cut file warns", len([l for l in cut.get("log", []) if "unexpected end of file" in l]), 1)
expect("cut file keeps its scene header", [cut.get("version"), cut.get("soundFile")], [211, "tone.wav"])
expect("cut file: the meshes before", [m["name"] for m in cut.get("meshes", [])],
       ["Base", "Arm", "Hand", "Multi", "ArmClone"])
expect("cut file: the cut helper", [h["name"] for h in cut.get("helpers", [])], ["Dummy01"])
# An empty file is an empty scene with the default timing.
empty = entry_for("empty.kzv")
expect("empty scene", [empty["meshes"], empty["version"], empty["length"], empty["log"]], [[], 100, 100 / 30, []])
expect("two bytes are text, not binary", entry_for("tiny.kzv")["format"], "kzv")
expect("the later files still report", [entry_for("skinned.kzv")["meshes"][0]["name"], entry_for("fog.kzv")["version"]],
       ["Skin", 210])
EOF

# ---- the human summary: one block per file, failures named, same exit code ------------------
"$tool" info "$src/data/samples/skinned.kzv" order.kzv >summary.txt 2>err.txt
check "summary: exit" 1 $?
grep -q "^$src/data/samples/skinned.kzv: kzv version 211, 30.0 frames/s, frames 0.0 to 60.0 (2.0 s), shown at 0.0 s$" summary.txt ||
  { echo "FAIL: summary first line"; cat summary.txt; fail=1; }
grep -q "^  mesh Skin: 12 vertices, 18 faces, 1 material, 3 bones$" summary.txt || { echo "FAIL: summary mesh line"; fail=1; }
grep -q "^order.kzv: failed: KZVLoader: order.kzv: Wrong vertex list order!$" summary.txt || { echo "FAIL: summary failure"; fail=1; }

# ---- each file's log stands alone -------------------------------------------------------------
# Three lights of an unknown type: the first warning of a run and its twin are written, the
# third folds into a count. Folding starts afresh with each file, so the same file twice gives
# the same log twice.
light='*LIGHTOBJECT {\n *NODE_NAME "L%s"\n *LIGHT_TYPE Lamp\n}\n'
printf "*3DSMAX_KZVEXPORT 211\n$light$light$light" 1 2 3 >lamps.kzv
"$tool" info --json lamps.kzv lamps.kzv >lamps.json
check "lamps: exit" 0 $?
checks lamps.json <<'EOF'
warning = "Warning:KZVLoader: lamps.kzv: Unknown light type changed to omni"
expect("first log", report[0]["log"], [warning, warning])
expect("second log is the same", report[1]["log"], report[0]["log"])
expect("the lights are point lights", [l["type"] for l in report[1]["lights"]], [1, 1, 1])
EOF

# ---- text: Windows-1252 names become UTF-8, UTF-8 names stay ---------------------------------
# Overlong forms and encoded surrogates are no UTF-8 either.
printf '*3DSMAX_KZVEXPORT 211\n*HELPEROBJECT {\n *NODE_NAME "W\xfcrfel \x80 \x81"\n}\n*HELPEROBJECT {\n *NODE_NAME "Kugel \xc3\xa9"\n *NODE_PARENT "W\xfcrfel \x80 \x81"\n}\n*HELPEROBJECT {\n *NODE_NAME "\xc0\xaf"\n}\n*HELPEROBJECT {\n *NODE_NAME "\xed\xa0\x80"\n}\n' >names.kzv
"$tool" info --json names.kzv >names.json
check "names: exit" 0 $?
checks names.json <<'EOF'
h = report[0]["helpers"]
expect("Windows-1252 name", h[0]["name"], "W\u00fcrfel \u20ac \u0081")
expect("UTF-8 name kept", h[1]["name"], "Kugel \u00e9")
expect("parent name converted too", h[1]["parent"], "W\u00fcrfel \u20ac \u0081")
expect("overlong form", h[2]["name"], "\u00c0\u00af")
expect("encoded surrogate", h[3]["name"], "\u00ed\u00a0\u20ac")
EOF

# ---- numbers that are not finite are null ----------------------------------------------------
# A position beyond the float range is infinite. Frame speed 0, which every time divides by,
# gives way to 30 frames per second with a warning: frames 0 to 100 last 100 / 30 s.
printf '*SCENE {\n *SCENE_FRAMESPEED 0\n}\n*HELPEROBJECT {\n *NODE_NAME "Far"\n *NODE_TM {\n  *TM_POS 1e39 2 3\n }\n}\n' >far.kzv
"$tool" info --json far.kzv >far.json
check "far: exit" 0 $?
checks far.json <<'EOF'
s = report[0]
expect("length with the default frame speed", near(s["length"], 100.0 / 30.0), True)
expect("frame speed 0 warned", any("Frame speed 0 is not a positive number" in l for l in s["log"]), True)
expect("time 0 at first frame 0", s["time"], 0.0)
expect("infinite position", s["helpers"][0]["world"][12:16], [None, 2.0, 3.0, 1.0])
EOF

# ---- the first frame sets the default time -------------------------------------------------
printf '*SCENE {\n *SCENE_FIRSTFRAME 15\n *SCENE_LASTFRAME 45\n *SCENE_FRAMESPEED 30\n}\n' >late.kzv
"$tool" info --json late.kzv >late.json
checks late.json <<'EOF'
expect("time = first frame / frame speed", report[0]["time"], 0.5)
expect("length", report[0]["length"], 1.0)
expect("version without header", report[0]["version"], 100)
EOF

exit $fail
