"""Compares an exported asset with kzvtool info's world matrices at several times: every scene
object's node, evaluated with the animation's samplers below the axes root, must give the
matrix our scene evaluation gives, within 1e-4 of the matrix's size.
Usage: gltf_faithful.py ASSET TIME REPORT.json [TIME REPORT.json ...]"""
import json
import sys

sys.path.insert(0, __import__("os").path.dirname(__file__))
import gltf_reader  # noqa: E402

asset = gltf_reader.Asset(sys.argv[1])
root = asset.index_of("KZV Z-up to Y-up")
failures = 0
compared = 0
for t, report in zip(sys.argv[2::2], sys.argv[3::2]):
    t = float(t)
    scene = json.load(open(report))[0]
    for kind in ("meshes", "helpers", "cameras", "lights"):
        for obj in scene[kind]:
            node = asset.index_of(obj["name"])
            got = asset.world(node, t, below=root)
            want = obj["world"]
            size = max(1.0, max(abs(x) for x in want))
            worst = max(abs(a - b) for a, b in zip(got, want))
            compared += 1
            if worst > 1e-4 * size:
                failures += 1
                print(f"FAIL: {obj['name']} at {t}: off by {worst:.3g} (size {size:.3g})\n  got  {got}\n  want {want}")
print(f"{sys.argv[1]}: {compared} world matrices compared, {failures} differ")
sys.exit(1 if failures else 0)
