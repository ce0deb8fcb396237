#!/usr/bin/env bash
# "kzvtool info --json" on every real scene in data/real (all but invalid/ must load): the
# counts of meshes, helpers, cameras and lights, and each mesh's faces and materials, as the
# file text implies them. They are worked out here from the keywords: a GEOMOBJECT is a mesh,
# a HELPEROBJECT, BONEOBJECT or TARGETOBJECT a helper, and so is a target that a camera or
# light block names inside its own blocks (a transform or animation of another node name),
# its faces are MESH_NUMFACES less the degenerate ones (two corners at one position), and it
# has one material unless its material has sub-materials, when it has one per sub-material
# its faces use.
. "$(dirname "${BASH_SOURCE[0]}")/lib/kzvtool.bash"

mapfile -t scenes < <(find "$src/data/real" -name '*.kzv' -not -path '*/invalid/*' | LC_ALL=C sort)
check "scene count" 16 "${#scenes[@]}"
"$tool" info --json "${scenes[@]}" >report.json 2>err.txt
check "exit code" 0 $?
printf '%s\n' "${scenes[@]}" >scenes.txt

checks report.json <<'CHECKS'
import re

def implied(path):
    """What the file text says: {kind: count} and the meshes' (name, faces, materials)."""
    counts = {"GEOMOBJECT": 0, "HELPEROBJECT": 0, "BONEOBJECT": 0, "TARGETOBJECT": 0, "CAMERAOBJECT": 0,
              "LIGHTOBJECT": 0}
    meshes, submaterials = [], {}
    depth, material, mesh, node, own = 0, None, None, None, None
    targets, target_blocks = set(), set()
    for line in open(path, encoding="latin-1"):
        words = line.split()
        key = words[0] if words else ""
        if depth == 0 and key[1:] in counts:
            counts[key[1:]] += 1
            node, own = key[1:], None
            if key == "*GEOMOBJECT":
                mesh = {"name": None, "faces": 0, "vertices": {}, "corners": [], "ids": [], "ref": -1}
                meshes.append(mesh)
            else:
                mesh = None
        if key == "*NODE_NAME" and node in ("CAMERAOBJECT", "LIGHTOBJECT", "TARGETOBJECT"):
            name = line.split('"')[1]
            if depth == 1 and own is None:
                own = name
                if node == "TARGETOBJECT":
                    target_blocks.add(name)
            elif depth == 2 and name != own and node != "TARGETOBJECT":
                targets.add(name)
        if depth == 1 and key == "*MATERIAL" and len(words) > 1:
            material = int(words[1])
        if depth == 2 and key == "*NUMSUBMTLS" and material is not None:
            submaterials[material] = int(words[1])
        if mesh is not None:
            if key == "*NODE_NAME" and mesh["name"] is None:
                mesh["name"] = line.split('"')[1]
            elif key == "*MESH_NUMFACES":
                mesh["faces"] = int(words[1])
            elif key == "*MESH_VERTEX":
                mesh["vertices"][int(words[1])] = tuple(float(w) for w in words[2:5])
            elif key == "*MESH_FACE":
                corners = re.search(r"A:\s*(\d+)\s+B:\s*(\d+)\s+C:\s*(\d+)", line)
                mesh["corners"].append(tuple(int(c) for c in corners.groups()))
                mtl = re.search(r"\*MESH_MTLID\s+(-?\d+)", line)
                mesh["ids"].append(int(mtl.group(1)) if mtl else 0)
            elif key == "*MATERIAL_REF":
                mesh["ref"] = int(words[1])
        depth += line.count("{") - line.count("}")
    result = []
    for m in meshes:
        valid = [i for i, c in enumerate(m["corners"])
                 if len({m["vertices"][k] for k in c}) == 3]
        n = submaterials.get(m["ref"], 0) if m["ref"] >= 0 else 0
        materials = len({m["ids"][i] % n for i in valid}) if n > 0 else 1
        result.append((m["name"], m["faces"] - (len(m["corners"]) - len(valid)), materials))
    counts["TARGETOBJECT"] += len(targets - target_blocks)
    return counts, sorted(result)

paths = open("scenes.txt").read().split()
expect("one entry per scene", len(report), len(paths))
for path, entry in zip(paths, report):
    name = path.split("/data/real/")[1]
    counts, meshes = implied(path)
    expect(name + " loaded", entry.get("error"), None)
    expect(name + " meshes, helpers, cameras, lights",
           [len(entry.get(k, [])) for k in ("meshes", "helpers", "cameras", "lights")],
           [counts["GEOMOBJECT"], counts["HELPEROBJECT"] + counts["BONEOBJECT"] + counts["TARGETOBJECT"],
            counts["CAMERAOBJECT"], counts["LIGHTOBJECT"]])
    got = sorted((m["name"], m["faces"], len(m["materials"])) for m in entry.get("meshes", []))
    expect(name + " faces and materials per mesh", got, meshes)
CHECKS
exit $fail
