#!/usr/bin/env bash
# Files that are not regular files (a named pipe without a writer, a device) are refused at
# once with a message naming them, as scene, as map and as an image-list entry: nothing
# waits on a pipe, and a device is not read as an empty scene.
. "$(dirname "${BASH_SOURCE[0]}")/lib/kzvtool.bash"

mkfifo pipe.kzv pipe.bmp pipe.ifl
square() { # name, material reference
  printf '*GEOMOBJECT {\n *NODE_NAME "%s"\n *MATERIAL_REF %s\n *MESH {\n  *MESH_NUMVERTEX 3\n  *MESH_NUMFACES 1\n' "$1" "$2"
  printf '  *MESH_VERTEX_LIST {\n   *MESH_VERTEX 0 0 0 0\n   *MESH_VERTEX 1 1 0 0\n   *MESH_VERTEX 2 1 1 0\n  }\n'
  printf '  *MESH_FACE_LIST {\n   *MESH_FACE 0: A: 0 B: 1 C: 2 *MESH_SMOOTHING 1 *MESH_MTLID 0\n  }\n }\n}\n'
}
scene_with_map() { # map file
  printf '*MATERIAL_LIST {\n *MATERIAL_COUNT 1\n *MATERIAL 0 {\n  *MATERIAL_NAME "M"\n'
  printf '  *MAP_DIFFUSE {\n   *BITMAP "%s"\n  }\n }\n}\n' "$1"
  square Tri 0
}
scene_with_map pipe.bmp >pipemap.kzv
# The list itself is a regular file; its one entry is the pipe.
printf 'pipe.bmp\n' >list.ifl
scene_with_map list.ifl >listmap.kzv
scene_with_map pipe.ifl >pipelist.kzv

timeout 10 "$tool" info --json pipe.kzv /dev/zero pipemap.kzv listmap.kzv pipelist.kzv >special.json 2>err.txt
check "special files: exit (124 would be a hang)" 1 $?
checks special.json <<'EOF'
expect("pipe as scene", entry_for("pipe.kzv").get("error"),
       "KZVLoader: pipe.kzv: Can not open file pipe.kzv: not a regular file")
expect("device as scene", entry_for("/dev/zero").get("error"),
       "KZVLoader: /dev/zero: Can not open file /dev/zero: not a regular file")
# A map that cannot be opened is a warning, as a missing one: the scene still loads.
for name in ("pipemap.kzv", "pipelist.kzv"):
    e = entry_for(name)
    expect("%s: loads" % name, ("error" in e, len(e.get("meshes", []))), (False, 1))
    expect("%s: map warning" % name, any("Can not open diffuse map" in l for l in e.get("log", [])), True)
# An image list whose entry is a pipe ends the load with the entry's name.
expect("list entry is a pipe", "pipe.bmp" in entry_for("listmap.kzv").get("error", ""), True)
EOF

exit $fail
