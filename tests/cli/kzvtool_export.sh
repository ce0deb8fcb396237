#!/usr/bin/env bash
# "kzvtool export": every sample and real scene becomes a glTF asset that the Khronos
# validator accepts, whose node world matrices match our own evaluation frame by frame, and
# whose skin and materials carry what the scene holds.
. "$(dirname "${BASH_SOURCE[0]}")/lib/kzvtool.bash"
lib="$src/tests/cli/lib"
validator="$src/build/node/node_modules/gltf-validator"
[ -f "$validator/package.json" ] || { echo "FAIL: no gltf-validator in $validator (run scripts/bootstrap)"; exit 1; }

scenes=("$src"/data/samples/*.kzv)
while IFS= read -r -d '' f; do scenes+=("$f"); done < <(find "$src/data/real" -name '*.kzv' -not -path '*/invalid/*' -print0 | sort -z)
# A scene that starts before 0 (glTF times may not be negative).
sed 's/SCENE_FIRSTFRAME 0/SCENE_FIRSTFRAME -30/' "$src/data/samples/skinned.kzv" >early.kzv
scenes+=("$PWD/early.kzv")

# The times to compare at: the first frame, the one after it, the middle and the last frame.
frame_times() { # report.json
  python3 - "$1" <<'PY'
import json, sys
s = json.load(open(sys.argv[1]))[0]
speed, first, last = s["frameSpeed"], s["firstFrame"], s["lastFrame"]
frames = sorted({first, min(first + 1, last), round((first + last) / 2), last})
print(" ".join(repr(f / speed) for f in frames))
PY
}

assets=()
for scene in "${scenes[@]}"; do
  name=$(basename "$scene" .kzv)
  "$tool" export -o "$name.gltf" "$scene" 2>err.txt
  code=$?
  [ $code -eq 0 ] || { echo "FAIL: export $name exited with $code"; cat err.txt; fail=1; continue; }
  "$tool" export --binary -o "$name.glb" "$scene" 2>err.txt || { echo "FAIL: export --binary $name"; fail=1; }
  assets+=("$name.gltf" "$name.glb")
  "$tool" info --json "$scene" >first.json
  args=()
  for t in $(frame_times first.json); do
    "$tool" info --json --at "$t" "$scene" >"at-$t.json"
    args+=("$t" "at-$t.json")
  done
  python3 "$lib/gltf_faithful.py" "$name.gltf" "${args[@]}" || fail=1
  python3 "$lib/gltf_faithful.py" "$name.glb" "${args[@]}" >/dev/null || { echo "FAIL: $name.glb differs"; fail=1; }
done

# The skinned sample: joints and weights as the scene gives them (weights by height: 1, 2/3,
# 1/3, 0 on Bone01 at z 0, 13.3, 26.7, 40, the rest on Bone02), and every vertex moved by its
# bones' worlds from our evaluation (Bone02's init matrix is a move by 20 along z).
for t in 0 1 1.5; do
  "$tool" info --json --at $t "$src/data/samples/skinned.kzv" >skin.json
  python3 - "$lib" skinned.glb skin.json $t <<'PY' || fail=1
import json, sys
sys.path.insert(0, sys.argv[1])
import gltf_reader as g
asset, t = g.Asset(sys.argv[2]), float(sys.argv[4])
scene = json.load(open(sys.argv[3]))[0]
world = {h["name"]: h["world"] for h in scene["helpers"]}
init = {"Bone01": [0, 0, 0], "Bone02": [0, 0, 20]}
root = asset.index_of("KZV Z-up to Y-up")
skin = asset.doc["skins"][asset.nodes[asset.index_of("Skin")]["skin"]]
assert [asset.nodes[j]["name"] for j in skin["joints"]] == ["Skin", "Bone01", "Bone02"], skin["joints"]
bad = 0
for p, weights, moved in g.skinned_vertices(asset, asset.index_of("Skin"), t, root):
    on01 = {0.0: 1.0, 13.3333: 0.6667, 26.6667: 0.3333, 40.0: 0.0}[round(p[2], 4)]
    want_w = {k: v for k, v in (("Bone01", on01), ("Bone02", 1 - on01)) if v > 0}
    want = [0.0, 0.0, 0.0]
    for bone, w in want_w.items():
        local = [a - b for a, b in zip(p, init[bone])]
        want = [a + w * b for a, b in zip(want, g.transform(world[bone], local))]
    if set(weights) != set(want_w) or any(abs(weights[k] - want_w[k]) > 1e-3 for k in want_w) or \
            max(abs(a - b) for a, b in zip(moved, want)) > 1e-3:
        bad += 1
        print(f"FAIL: skinned vertex {p} at {t}: weights {weights}, want {want_w}; at {moved}, want {want}")
print(f"skinned.glb at {t}: {bad} vertices differ")
sys.exit(1 if bad else 0)
PY
done

node "$lib/gltf_validate.js" "$validator" "${assets[@]}" || fail=1
exit $fail
