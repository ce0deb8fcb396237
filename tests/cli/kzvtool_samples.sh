#!/usr/bin/env bash
# "kzvtool info --json" on the sample scenes (scripts/make_samples.py): the values each scene
# was written to show, worked out from the scene text by hand.
. "$(dirname "${BASH_SOURCE[0]}")/lib/kzvtool.bash"
samples="$src/data/samples"

# Runs kzvtool info --json with the arguments into report.json; expects exit code 0.
info() {
  "$tool" info --json "$@" >report.json 2>err.txt
  local code=$?
  if [ $code -ne 0 ]; then echo "FAIL: kzvtool info $* exited with $code"; cat err.txt; fail=1; fi
}

# ---- showcase at its first frame, maps found through --textures ----------------------------
info --textures "$samples" "$samples/showcase.kzv"
checks report.json <<'EOF'
s = report[0]
expect("one entry", len(report), 1)
expect("format", s["format"], "kzv")
expect("version", s["version"], 211)
expect("timing", [s["frameSpeed"], s["firstFrame"], s["lastFrame"], s["length"]], [30.0, 0.0, 90.0, 3.0])
expect("sound file", s["soundFile"], "tone.wav")
expect("script file", s["scriptFile"], "showcase.txt")
# 0.2 x 255 = 51; 0.1, 0.15, 0.25 x 255 truncated = 25, 38, 63; alpha stays 0xFF.
expect("ambient", s["ambient"], "0xFF333333")
expect("background", s["background"], "0xFF19263F")
# The text load sets the ambient flag, clear 0, fog mode 1 and fog density 0.008.
expect("view options", s["viewOptions"], [0, 0, 0, -2, -2, 1, 1, 0, 1, 0, 0, 1, 1, 0.0, 1.0, 0.008])
expect("camera 0 is current", s["currentCamera"], 0)
expect("time is the first frame", s["time"], 0.0)

# Glass (ArmClone) and the opacity track of Pulse (Multi) make two meshes transparent. The
# file has Base, Arm, Multi, Hand, ArmClone: sorting swaps Multi with the opaque Hand after it.
expect("mesh order, opaque first", [m["name"] for m in s["meshes"]], ["Base", "Arm", "Hand", "Multi", "ArmClone"])
arm, hand = by_name(s["meshes"], "Arm"), by_name(s["meshes"], "Hand")
expect("Arm parent", arm["parent"], "Base")
expect("Hand parent", hand["parent"], "Arm")
expect("Hand world at 0: own (0,0,52) on Arm's (0,0,20)", hand["world"][12:16], [0.0, 0.0, 72.0, 1.0])

# Rotation splitting: the TCB key of 4.5 rad after a key becomes two keys, 2.0 stays one;
# Dummy01's sample step of 7 rad becomes three.
expect("Arm keys", arm["keys"], {"pos": 3, "rot": 4, "scale": 3})
expect("Hand keys", hand["keys"], {"pos": 4, "rot": 3, "scale": 3})
expect("Dummy01 keys", by_name(s["helpers"], "Dummy01")["keys"], {"pos": 0, "rot": 4, "scale": 0})

# Each side in its own smoothing group: 24 vertices; Hand in one group is split only by its
# texture coordinates: 20. One diffuse map: XYZ | NORMAL | TEX1.
for name, vertices in (("Base", 24), ("Arm", 24), ("Hand", 20), ("Multi", 24)):
    m = by_name(s["meshes"], name)
    expect(name + " counts", [m["vertices"], m["faces"], m["fvf"], m["weightsPerVertex"]], [vertices, 12, "0x112", 0])
clone = by_name(s["meshes"], "ArmClone")
expect("clone source", clone["clone"], "Arm")
expect("clone reports the source's geometry", [clone["vertices"], clone["faces"], clone["fvf"]], [24, 12, "0x112"])
expect("clone keeps its own place", clone["world"][12:15], [-40.0, 0.0, 0.0])

# Materials and maps.
brick = by_name(s["meshes"], "Base")["materials"]
expect("Base has one material", len(brick), 1)
b = brick[0]
expect("Brick diffuse and ambient white under the map", [b["diffuse"], b["ambient"]], [[1.0, 1.0, 1.0, 1.0]] * 2)
expect("Brick specular = shine strength x specular", b["specular"], [0.45, 0.45, 0.45, 1.0])
expect("Brick power = shine x 100", b["power"], 25.0)
expect("Brick flags", [b["twoSided"], b["transparent"], b["mirrorU"], b["mirrorV"], b["tileU"], b["tileV"]],
       [False, False, False, False, True, True])
expect("Brick map", b["maps"], [{"slot": 0, "file": "maps\\BRICK.BMP", "op": 1, "loaded": True,
                                  "uv": [0.0, 0.0, 2.0, 3.0, 0.0]}])
seq, pulse = by_name(s["meshes"], "Multi")["materials"]
expect("Sequence flags: Mirror U, Tile V", [seq["mirrorU"], seq["mirrorV"], seq["tileU"], seq["tileV"]],
       [True, False, False, True])
m = seq["maps"][0] if seq["maps"] else {}
expect("Sequence map", [m.get("slot"), m.get("file"), m.get("op"), m.get("loaded")], [0, "Maps\\Sequence.IFL", 1, True])
# Mirror U doubles the U tiling and moves the U offset by 0.5 / 2.
expect("Sequence uv after the mirror adjustment", m.get("uv"), [-0.25, 0.0, 2.0, 1.0, 0.0])
q = m.get("sequence", {})
expect("image sequence", [q.get("frames"), q.get("frame"), q.get("endCondition")], [4, 0, 1])
expect("sequence timing", [q.get("startTime"), q.get("frameDuration")], [0.0, 1.0 / 30])
expect("Pulse", [pulse["twoSided"], pulse["transparent"], pulse["maps"]], [True, True, []])
expect("Pulse colours at 0", [pulse["diffuse"], pulse["ambient"], pulse["transparency"]],
       [[0.2, 0.4, 1.0, 1.0], [0.0, 0.0, 0.0, 1.0], 0.0])
glass = clone["materials"]
expect("the clone has its own material", len(glass), 1)
g = glass[0]
expect("Glass", [g["transparent"], g["transparencyType"], g["transparency"]], [True, 1, 0.4])
# The map is named by a drive-letter path; it is found by its file name in the --textures folder.
expect("Glass map", g["maps"], [{"slot": 0, "file": "C:\\3dsmax\\maps\\Glass.PNG", "op": 1, "loaded": True,
                                  "uv": [0.0, 0.0, 1.0, 1.0, 0.5]}])

# Camera with its target, written inside the camera block and as an object of its own.
cams = s["cameras"]
expect("one camera", [c["name"] for c in cams], ["Camera01"])
c = cams[0]
expect("camera target", c["target"], "Camera01.Target")
expect("camera fov", c["fov"], 0.7854)
expect("camera keys", c["keys"], {"pos": 2, "rot": 0, "scale": 0})
expect("camera position", c["position"], [0.0, -150.0, 60.0])
expect("camera looks at its target (not normalised)", c["direction"], [0.0, 150.0, -40.0])
expect("camera up unchanged", c["up"], [0.0, 0.0, 1.0])
expect("target helper", by_name(s["helpers"], "Camera01.Target")["type"], 4)

# Three light types; colour x intensity; hotspot and falloff in radians.
lights = s["lights"]
expect("lights", [(l["name"], l["type"]) for l in lights], [("Omni01", 1), ("Spot01", 2), ("Sun01", 3)])
omni, spot, sun = lights
expect("Omni colours", [omni["diffuse"], omni["specular"], omni["ambient"]],
       [[1.0, 0.9, 0.8, 1.0], [1.0, 0.9, 0.8, 1.0], [0.0, 0.0, 0.0, 0.0]])
expect("Spot colour x 1.5", spot["diffuse"], [0.6, 0.9, 1.5, 1.0])
expect("Spot cone", [spot["theta"], spot["phi"]], [0.5235988, 0.7853982])
expect("Spot target", spot["target"], "Spot01.Target")
expect("light record", [sun["range"], sun["falloff"], sun["enabled"], sun["unset"]], [1.84466e19, 1.0, True, False])
expect("Sun position", sun["position"], [0.0, 0.0, 200.0])
expect("a light without target looks down its -Z", sun["direction"], [0.0, 0.0, -1.0])
expect("no map is missing", [l for l in s["log"] if "Can not open" in l], [])
EOF

# ---- showcase later: animation values at 1.5 s (frame 45) -------------------------------------
info --textures "$samples" --at 1.5 "$samples/showcase.kzv"
checks report.json <<'EOF'
s = report[0]
expect("time", s["time"], 1.5)
arm, hand = by_name(s["meshes"], "Arm"), by_name(s["meshes"], "Hand")
# Arm at its middle keys: position (15, 0, 25), scale (1.5, 1.5, 1), a turn about z.
expect("Arm position", arm["world"][12:15], [15.0, 0.0, 25.0])
expect("Arm x axis has length 1.5", math.hypot(*arm["world"][0:3]), 1.5)
expect("Arm z axis", arm["world"][8:11], [0.0, 0.0, 1.0])
# Hand: its sample keys give (0, 0, 52) halfway between frames 30 and 60; carried by the Arm.
expect("Hand position through the Arm", hand["world"][12:15], [15.0, 0.0, 77.0])
seq, pulse = by_name(s["meshes"], "Multi")["materials"]
# Diffuse Bezier key at frame 45; self-illumination (linear to 0.3 at frame 90) goes to the
# ambient colour; opacity 1 -> 0.5 linear is transparency 0 -> 0.5.
expect("Pulse diffuse", pulse["diffuse"], [1.0, 0.2, 0.2, 1.0])
expect("Pulse ambient from self-illumination", pulse["ambient"], [0.15, 0.15, 0.0, 1.0])
expect("Pulse transparency", pulse["transparency"], 0.25)
# Glass opacity Bezier 0.6 -> 0.2 with flat tangents: halfway 0.4, transparency 0.6.
glass = by_name(s["meshes"], "ArmClone")["materials"][0]
expect("Glass transparency", glass["transparency"], 0.6)
c = s["cameras"][0]
expect("camera halfway", c["position"], [30.0, -145.0, 65.0])
expect("camera direction", c["direction"], [-30.0, 145.0, -45.0])
EOF

# ---- the image sequence plays ping-pong: 4 frames of 1/30 s ----------------------------------
for at in 0.05:1 0.15:3; do
  info --textures "$samples" --at "${at%%:*}" "$samples/showcase.kzv"
  checks report.json <<EOF
seq = by_name(report[0]["meshes"], "Multi")["materials"][0]
expect("sequence frame at ${at%%:*} s", seq["maps"][0]["sequence"]["frame"], ${at##*:})
EOF
done

# ---- --loop: times wrap at the scene length (3 s), so 4 s shows what 1 s shows ----------------
info --textures "$samples" --at 1 "$samples/showcase.kzv"
mv report.json once.json
info --textures "$samples" --at 4 --loop "$samples/showcase.kzv"
checks report.json <<'EOF'
import json
once = json.load(open("once.json"))[0]
s = report[0]
expect("time as asked", s["time"], 4.0)
expect("meshes loop", [m["loop"] for m in s["meshes"]], [True] * 5)
expect("loop length", s["meshes"][0]["loopLength"], 3.0)
for name in ("Arm", "Hand"):
    expect(name + " at 4 s looped = at 1 s", by_name(s["meshes"], name)["world"], by_name(once["meshes"], name)["world"])
expect("camera at 4 s looped = at 1 s", s["cameras"][0]["position"], once["cameras"][0]["position"])
expect("not looped at 1 s", once["meshes"][0]["loop"], False)
# The first of Dummy01's three split keys: 7/3 rad about z at 1 s (unsplit, the 7 rad step
# would be taken the short way round).
expect("Dummy01 turned 7/3 rad at 1 s", by_name(once["helpers"], "Dummy01")["world"][0], math.cos(7 / 3))
EOF

# ---- the folder for maps not found where the scene names them --------------------------------
# A copy of the scene with its relative maps but without glass.png beside it.
mkdir -p copy && cp -r "$samples/showcase.kzv" "$samples/maps" copy/
info copy/showcase.kzv
checks report.json <<'EOF'
s = report[0]
g = by_name(s["meshes"], "ArmClone")["materials"][0]
expect("Glass without its map", [g["maps"], g["diffuse"]], [[], [0.6, 0.8, 1.0, 1.0]])
expect("the warning names the map as written",
       [l for l in s["log"] if "Can not open" in l],
       ["Warning:KZVLoader: copy/showcase.kzv: Can not open diffuse map 'C:\\3dsmax\\maps\\Glass.PNG'"])
expect("the relative maps are still found", by_name(s["meshes"], "Base")["materials"][0]["maps"][0]["loaded"], True)
EOF
# --textures names the folder (with or without a separator at the end) ...
for folder in "$samples" "$samples/"; do
  info --textures "$folder" copy/showcase.kzv
  checks report.json <<'EOF'
g = by_name(report[0]["meshes"], "ArmClone")["materials"][0]
expect("Glass map through --textures", [m["loaded"] for m in g["maps"]], [True])
EOF
done
# ... and without it the viewer's DefaultTexturePath setting does.
mkdir -p config/Halvorn && printf 'DefaultTexturePath=%s/\n' "$samples" >config/Halvorn/KZVView.ini
info copy/showcase.kzv
checks report.json <<'EOF'
g = by_name(report[0]["meshes"], "ArmClone")["materials"][0]
expect("Glass map through the setting", [m["loaded"] for m in g["maps"]], [True])
EOF
rm -r config

# ---- skinned: bones, weights, and the Bounds box that sets the scene's size ------------------
info --at 1 "$samples/skinned.kzv"
checks report.json <<'EOF'
s = report[0]
expect("Bounds is no mesh", [m["name"] for m in s["meshes"]], ["Skin"])
skin = s["meshes"][0]
# The mesh enters itself as bone 0 ("MESH_INIT_TM"), then its two bones.
expect("bones", skin["bones"], ["Skin", "Bone01", "Bone02"])
# Two weights at most: XYZB2 | LASTBETA_UBYTE4 | NORMAL, no texture coordinates.
expect("skin vertex format", [skin["fvf"], skin["weightsPerVertex"]], ["0x1018", 2])
expect("skin counts (one smoothing group)", [skin["vertices"], skin["faces"]], [12, 18])
expect("skinned mesh bounds mode", skin["bounds"]["mode"], 0)
expect("wire colour material", skin["materials"][0]["diffuse"], [0.9, 0.6, 0.3, 1.0])
b = s["bounds"]
# Bounds box 30 x 30 x 50 at (0, 0, 20).
expect("scene bounds mode", b["mode"], 3)
expect("scene box", [b["min"], b["max"]], [[-15.0, -15.0, -5.0], [15.0, 15.0, 45.0]])
expect("scene sphere", [b["centre"], b["radius"]], [[0.0, 0.0, 20.0], 0.5 * math.sqrt(30**2 + 30**2 + 50**2)])
bone1, bone2 = s["helpers"]
expect("bone helpers", [(h["name"], h["type"], h["parent"]) for h in s["helpers"]],
       [("Bone01", 2, ""), ("Bone02", 2, "Bone01")])
expect("bone keys", [bone1["keys"]["rot"], bone2["keys"]["rot"]], [3, 3])
# At frame 30 Bone01 has turned 0.3 rad about x: Bone02's origin (0, 0, 20) turns with it.
p = bone2["world"][12:15]
expect("Bone02 origin swung by Bone01", [p[0], abs(p[1]), p[2]], [0.0, 20 * math.sin(0.3), 20 * math.cos(0.3)])
expect("no skinned-without-Bounds warning", [l for l in s["log"] if "without 'Bounds'" in l], [])
EOF

# ---- fog: the fog colour becomes the background; groups leave no trace -----------------------
info "$samples/fog.kzv"
checks report.json <<'EOF'
s = report[0]
expect("version 2.10", s["version"], 210)
# 0.5, 0.6, 0.7 x 255 truncated: 127, 153, 178.
expect("background = fog colour", s["background"], "0xFF7F99B2")
expect("fog flag and colour", [s["viewOptions"][7], s["viewOptions"][10]], [1, 0xFF7F99B2])
expect("default timing without SCENE frames", [s["firstFrame"], s["lastFrame"], s["length"]], [0.0, 100.0, 100 / 30])
m = s["meshes"][0]
expect("mesh inside two groups", m["name"], "FogBox")
# No material list: no texture coordinates, the wire colour as material.
expect("FogBox", [m["vertices"], m["faces"], m["fvf"]], [24, 12, "0x12"])
expect("FogBox material", m["materials"][0]["diffuse"], [0.6, 0.8, 0.2, 1.0])
expect("no cameras: none current", s["currentCamera"], -1)
EOF

exit $fail
