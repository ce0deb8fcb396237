"""A small glTF 2.0 reader for the export tests: accessors, node world matrices at a time
(node transforms with the animation's samplers applied) and skinned vertex positions.
Matrices are lists of 16 floats in glTF's column-major order, which is also the row-by-row
order of the row-vector matrices kzvtool info reports."""
import json
import math
import os
import struct

COMPONENTS = {"SCALAR": 1, "VEC2": 2, "VEC3": 3, "VEC4": 4, "MAT4": 16}
FORMATS = {5126: "f", 5125: "I", 5123: "H", 5121: "B"}


def load(path):
    """The JSON and the bytes of buffer 0 of a .gltf (with its .bin) or .glb."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] == b"glTF":
        length = struct.unpack_from("<I", data, 12)[0]
        doc = json.loads(data[20:20 + length])
        rest = 20 + length
        binary = data[rest + 8:rest + 8 + struct.unpack_from("<I", data, rest)[0]] if rest < len(data) else b""
        return doc, binary
    doc = json.loads(data)
    binary = b""
    if doc.get("buffers"):
        with open(os.path.join(os.path.dirname(path), doc["buffers"][0]["uri"]), "rb") as f:
            binary = f.read()
    return doc, binary


def accessor(doc, binary, index):
    """The elements of an accessor as tuples."""
    a = doc["accessors"][index]
    view = doc["bufferViews"][a["bufferView"]]
    n = COMPONENTS[a["type"]]
    fmt = "<" + FORMATS[a["componentType"]] * (n * a["count"])
    values = struct.unpack_from(fmt, binary, view.get("byteOffset", 0) + a.get("byteOffset", 0))
    return [values[i * n:(i + 1) * n] for i in range(a["count"])]


def multiply(a, b):
    """Column-major product a x b (b applied first)."""
    return [sum(a[k * 4 + r] * b[c * 4 + k] for k in range(4)) for c in range(4) for r in range(4)]


def compose(t, r, s):
    x, y, z, w = r
    rot = [1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w),
           2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
           2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)]
    m = [0.0] * 16
    for c in range(3):
        for r_ in range(3):
            m[c * 4 + r_] = rot[c * 3 + r_] * s[c]
    m[12], m[13], m[14], m[15] = t[0], t[1], t[2], 1.0
    return m


def slerp(a, b, u):
    d = sum(x * y for x, y in zip(a, b))
    if d < 0:
        b, d = [-x for x in b], -d
    if d > 0.9995:
        q = [x + (y - x) * u for x, y in zip(a, b)]
    else:
        theta = math.acos(d)
        wa, wb = math.sin((1 - u) * theta) / math.sin(theta), math.sin(u * theta) / math.sin(theta)
        q = [wa * x + wb * y for x, y in zip(a, b)]
    n = math.sqrt(sum(x * x for x in q))
    return [x / n for x in q]


def sample(times, values, path, t):
    """A LINEAR sampler at time t (held before the first and after the last key)."""
    if t <= times[0]:
        return list(values[0])
    if t >= times[-1]:
        return list(values[-1])
    k = max(i for i in range(len(times)) if times[i] <= t)
    u = (t - times[k]) / (times[k + 1] - times[k])
    if path == "rotation":
        return slerp(values[k], values[k + 1], u)
    return [x + (y - x) * u for x, y in zip(values[k], values[k + 1])]


class Asset:
    def __init__(self, path):
        self.doc, self.binary = load(path)
        self.nodes = self.doc["nodes"]
        self.parent = {}
        for i, node in enumerate(self.nodes):
            for c in node.get("children", []):
                self.parent[c] = i
        self.channels = {}
        self.shift = 0.0  # asset time = scene time + shift
        for anim in self.doc.get("animations", []):
            self.shift = anim.get("extras", {}).get("sceneTimeShift", 0.0)
            for ch in anim["channels"]:
                s = anim["samplers"][ch["sampler"]]
                times = [v[0] for v in accessor(self.doc, self.binary, s["input"])]
                values = accessor(self.doc, self.binary, s["output"])
                self.channels[(ch["target"]["node"], ch["target"]["path"])] = (times, values)

    def local(self, index, t):
        t += self.shift
        node = self.nodes[index]
        if "matrix" in node:
            return node["matrix"]
        parts = {"translation": node.get("translation", [0, 0, 0]),
                 "rotation": node.get("rotation", [0, 0, 0, 1]),
                 "scale": node.get("scale", [1, 1, 1])}
        for path in parts:
            if (index, path) in self.channels:
                times, values = self.channels[(index, path)]
                parts[path] = sample(times, values, path, t)
        return compose(parts["translation"], parts["rotation"], parts["scale"])

    def world(self, index, t, below=None):
        """The node's world matrix at t; with below, relative to that ancestor (excluded)."""
        m = self.local(index, t)
        p = self.parent.get(index)
        while p is not None and p != below:
            m = multiply(self.local(p, t), m)
            p = self.parent.get(p)
        return m

    def index_of(self, name):
        return next(i for i, n in enumerate(self.nodes) if n.get("name") == name)


def transform(m, p):
    """Point p through the column-major matrix m."""
    return [sum(m[c * 4 + r] * v for c, v in enumerate(list(p) + [1.0])) for r in range(3)]


def skinned_vertices(asset, node_index, t, below):
    """(bind position, {joint name: weight}, skinned position) of every vertex of the node's
    skinned mesh at t, the joints' worlds taken relative to below."""
    doc, binary = asset.doc, asset.binary
    node = asset.nodes[node_index]
    skin = doc["skins"][node["skin"]]
    bind = accessor(doc, binary, skin["inverseBindMatrices"])
    joints = [multiply(asset.world(j, t, below), list(b)) for j, b in zip(skin["joints"], bind)]
    names = [asset.nodes[j]["name"] for j in skin["joints"]]
    attributes = doc["meshes"][node["mesh"]]["primitives"][0]["attributes"]
    out = []
    for p, js, ws in zip(accessor(doc, binary, attributes["POSITION"]), accessor(doc, binary, attributes["JOINTS_0"]),
                         accessor(doc, binary, attributes["WEIGHTS_0"])):
        weights = {}
        moved = [0.0, 0.0, 0.0]
        for j, w in zip(js, ws):
            if w > 0:
                weights[names[j]] = weights.get(names[j], 0.0) + w
                moved = [a + w * b for a, b in zip(moved, transform(joints[j], p))]
        out.append((p, weights, moved))
    return out
