#!/usr/bin/env bash
# "kzvtool export": its command line and exit codes, and what the showcase's materials,
# cameras, lights and hierarchy become (values worked out from the scene text by hand).
. "$(dirname "${BASH_SOURCE[0]}")/lib/kzvtool.bash"
samples="$src/data/samples"

# Wrong command lines: usage on standard error, exit 2, nothing written.
expect_usage() { # description, expected message, args...
  local what=$1 message=$2
  shift 2
  "$tool" export "$@" >out.txt 2>err.txt
  check "$what: exit" 2 $?
  grep -qF "kzvtool: $message" err.txt || { echo "FAIL: $what: message"; cat err.txt; fail=1; }
  grep -q '^Usage: kzvtool export \[--binary\] \[--fps N\] \[--bake\] -o OUT.gltf|OUT.glb FILE' err.txt ||
    { echo "FAIL: $what: no usage"; fail=1; }
}
expect_usage "no file" "no scene file given" -o a.gltf
expect_usage "two files" "export takes one scene file" -o a.gltf "$samples/fog.kzv" "$samples/fog.kzv"
expect_usage "no output" "-o needs an output file ending in .gltf or .glb" "$samples/fog.kzv"
expect_usage "other extension" "-o needs an output file ending in .gltf or .glb" -o a.obj "$samples/fog.kzv"
expect_usage "-o without value" "-o needs a value" "$samples/fog.kzv" -o
expect_usage "--binary with .gltf" "--binary writes a .glb file, not 'a.gltf'" --binary -o a.gltf "$samples/fog.kzv"
expect_usage "--fps zero" "--fps needs a number" --fps 0 -o a.gltf "$samples/fog.kzv"
expect_usage "--fps not a number" "--fps needs a number" --fps fast -o a.gltf "$samples/fog.kzv"
expect_usage "unknown option" "unknown option '--draco'" --draco -o a.gltf "$samples/fog.kzv"
[ ! -e a.gltf ] && [ ! -e a.bin ] || { echo "FAIL: a usage error wrote files"; fail=1; }

# Failures name the file and the reason, exit 1.
"$tool" export -o a.gltf missing.kzv 2>err.txt
check "missing scene: exit" 1 $?
grep -q "^kzvtool: cannot export missing.kzv: " err.txt || { echo "FAIL: missing scene message"; cat err.txt; fail=1; }
"$tool" export -o no/such/folder/a.gltf "$samples/fog.kzv" 2>err.txt
check "unwritable output: exit" 1 $?
grep -q "^kzvtool: cannot write no/such/folder/a.bin: No such file or directory" err.txt ||
  { echo "FAIL: unwritable output message"; cat err.txt; fail=1; }

# The showcase, as .gltf with its images beside it and as .glb with them inside.
"$tool" export -o showcase.gltf "$samples/showcase.kzv" 2>err.txt
check "showcase: exit" 0 $?
"$tool" export --binary --fps 10 -o showcase.glb "$samples/showcase.kzv" 2>err.txt
check "showcase --binary: exit" 0 $?
"$tool" export --bake -o baked.gltf "$samples/fog.kzv" 2>err.txt
check "fog --bake: exit" 0 $?
python3 - "$src/tests/cli/lib" <<'PY' || fail=1
import os, sys
sys.path.insert(0, sys.argv[1])
import gltf_reader as g
fails = []
def expect(what, got, want):
    if got != want:
        fails.append(f"FAIL: {what}: expected {want!r} got {got!r}")
near = lambda a, b: all(abs(x - y) < 1e-5 for x, y in zip(a, b))

asset = g.Asset("showcase.gltf")
doc = asset.doc
materials = {m["name"]: m for m in doc["materials"]}
# Brick tiles 2 x 3 about the texture centre: u' = 2u - 0.5, v' = 3v - 1 (the same with v flipped).
brick = materials["Base/0"]["pbrMetallicRoughness"]["baseColorTexture"]
t = brick["extensions"]["KHR_texture_transform"]
expect("brick scale", near(t["scale"], [2, 3]) and near(t["offset"], [-0.5, -1]) and abs(t["rotation"]) < 1e-6, True)
sampler = lambda m: doc["samplers"][doc["textures"][materials[m]["pbrMetallicRoughness"]["baseColorTexture"]["index"]]["sampler"]]
expect("brick wraps", (sampler("Base/0")["wrapS"], sampler("Base/0")["wrapT"]), (10497, 10497))
expect("sequence mirrors in u, tiles in v", (sampler("Multi/0")["wrapS"], sampler("Multi/0")["wrapT"]), (33648, 10497))
# Pulse is two-sided and, having an opacity track, transparent; Glass is 0.4 transparent.
expect("pulse", (materials["Multi/1"].get("doubleSided"), materials["Multi/1"].get("alphaMode")), (True, "BLEND"))
expect("pulse colour", near(materials["Multi/1"]["pbrMetallicRoughness"]["baseColorFactor"], [0.2, 0.4, 1.0, 1.0]), True)
expect("glass opacity", near(materials["ArmClone/0"]["pbrMetallicRoughness"]["baseColorFactor"][3:], [0.6]), True)
expect("brick opaque", "alphaMode" in materials["Base/0"], False)
# Maps: the PNG is referenced where it lies, the BMP and the image sequence become PNGs beside.
uris = sorted(i["uri"] for i in doc["images"])
glass = [u for u in uris if u.endswith("glass.png")]
expect("glass map found", len(glass) == 1 and os.path.samefile(glass[0], os.path.join(sys.argv[1], "../../../data/samples/glass.png")), True)
expect("converted maps", [u for u in uris if not u.endswith("glass.png")], ["showcase_image0.png", "showcase_image1.png"])
expect("converted maps exist", all(os.path.getsize(u) > 0 for u in uris), True)
# Hierarchy: Hand under Arm under Base under the axes root.
parent = lambda name: doc["nodes"][asset.parent[asset.index_of(name)]]["name"]
expect("hierarchy", [parent("Hand"), parent("Arm"), parent("Base")], ["Arm", "Base", "KZV Z-up to Y-up"])
expect("root turns Z up into Y up", near(doc["nodes"][0]["rotation"], [-0.7071068, 0, 0, 0.7071068]), True)
# The three light types and a perspective camera, on the looking nodes.
lights = doc["extensions"]["KHR_lights_punctual"]["lights"]
expect("light types", sorted(l["type"] for l in lights), ["directional", "point", "spot"])
spot = [l for l in lights if l["type"] == "spot"][0]["spot"]
expect("spot cone", 0 <= spot["innerConeAngle"] < spot["outerConeAngle"] <= 1.5707964, True)
expect("camera", [c["type"] for c in doc["cameras"]], ["perspective"])
expect("camera on a looking node", doc["nodes"][[i for i, n in enumerate(doc["nodes"]) if "camera" in n][0]]["name"].endswith(" view"), True)

glb = g.Asset("showcase.glb")
expect("glb images inside", all("bufferView" in i and i["mimeType"] == "image/png" for i in glb.doc["images"]), True)
times = g.accessor(glb.doc, glb.binary, glb.doc["animations"][0]["samplers"][0]["input"])
expect("--fps 10 over 3 s", len(times), 31)

baked = g.Asset("baked.gltf")
channels = {(c["target"]["node"], c["target"]["path"]) for c in baked.doc["animations"][0]["channels"]}
expect("--bake: three channels on every node but the root", len(channels), 3 * (len(baked.nodes) - 1))
print("\n".join(fails) or "ok: showcase asset")
sys.exit(1 if fails else 0)
PY
exit $fail
