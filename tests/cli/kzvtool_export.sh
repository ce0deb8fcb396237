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

node "$lib/gltf_validate.js" "$validator" "${assets[@]}" || fail=1
exit $fail
