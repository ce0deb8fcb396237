#!/usr/bin/env python3
"""Writes the sample scenes under data/samples/ and the images and sound they use.

The scenes cover what the text format offers: a node hierarchy, every controller kind,
a camera with a target, the three light types, fog, textured materials with sub-materials,
tiling and mirroring, material and map animation, an image sequence, a skinned mesh with
bones and a "Bounds" object, a clone, and a sound file. Texture names are written the way
Windows tools write them (backslashes, other letter case) on purpose.

Run from anywhere: python3 scripts/make_samples.py
"""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "samples")


# ---------------------------------------------------------------- images and sound

def write_bmp(path, width, height, pixel):
    """24-bit bottom-up BMP; pixel(x, y) gives (r, g, b) with y = 0 at the top."""
    row = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        line += b"\0" * (row - width * 3)
        data += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def write_png(path, width, height, pixel):
    """8-bit RGBA PNG; pixel(x, y) gives (r, g, b, a)."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw += bytes(pixel(x, y))

    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def write_wav(path, seconds, freq=440.0, rate=22050):
    n = int(seconds * rate)
    samples = b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * freq * i / rate))) for i in range(n))
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(samples), b"WAVE", b"fmt ", 16, 1, 1, rate,
                         rate * 2, 2, 16, b"data", len(samples))
    with open(path, "wb") as f:
        f.write(header + samples)


def brick(x, y):
    mortar = (y % 16 < 2) or ((x + (8 if (y // 16) % 2 else 0)) % 32 < 2)
    return (200, 200, 190) if mortar else (160 + (x * 7 + y * 3) % 30, 60, 40)


def make_images():
    os.makedirs(os.path.join(OUT, "maps"), exist_ok=True)
    write_bmp(os.path.join(OUT, "maps", "brick.bmp"), 64, 64, brick)
    # A checker with a half-transparent hole: partial alpha makes its material transparent.
    # It lies beside the scene: the scene names it by a drive-letter path from another machine.
    write_png(os.path.join(OUT, "glass.png"), 32, 32,
              lambda x, y: (90, 160, 230, 128 if 8 <= x < 24 and 8 <= y < 24 else 255))
    colours = [(230, 40, 40), (40, 200, 40), (40, 80, 230), (230, 210, 40)]
    for i, c in enumerate(colours):
        write_png(os.path.join(OUT, "maps", "frame%d.png" % i), 16, 16,
                  lambda x, y, c=c, i=i: (c[0], c[1], c[2], 255) if (x // 4 + y // 4 + i) % 2 else (20, 20, 20, 255))
    with open(os.path.join(OUT, "maps", "sequence.ifl"), "w", newline="\r\n") as f:
        for i in range(len(colours)):
            f.write("frame%d.png\n" % i)
    write_wav(os.path.join(OUT, "tone.wav"), 2.0)


# ---------------------------------------------------------------- scene text

def vec(v):
    return "\t".join("%.4f" % c for c in v)


def node_tm(name, pos, indent="\t"):
    i = indent
    return (f"{i}*NODE_TM {{\n{i}\t*NODE_NAME \"{name}\"\n"
            f"{i}\t*TM_ROW0 1.0000\t0.0000\t0.0000\n{i}\t*TM_ROW1 0.0000\t1.0000\t0.0000\n"
            f"{i}\t*TM_ROW2 0.0000\t0.0000\t1.0000\n{i}\t*TM_ROW3 {vec(pos)}\n"
            f"{i}\t*TM_POS {vec(pos)}\n{i}\t*TM_ROTAXIS 0.0000\t0.0000\t0.0000\n"
            f"{i}\t*TM_ROTANGLE 0.0000\n{i}\t*TM_SCALE 1.0000\t1.0000\t1.0000\n{i}}}\n")


def box_mesh(size, centre=(0, 0, 0), uv=True, smoothing="sides", mtlids=None):
    """A box of 8 vertices and 12 faces; smoothing "sides" gives each side its own group."""
    sx, sy, sz = (s / 2.0 for s in size)
    cx, cy, cz = centre
    verts = [(cx + x * sx, cy + y * sy, cz + z * sz) for z in (-1, 1) for y in (-1, 1) for x in (-1, 1)]
    faces = [(0, 2, 3), (3, 1, 0), (4, 5, 7), (7, 6, 4), (0, 1, 5), (5, 4, 0),
             (1, 3, 7), (7, 5, 1), (3, 2, 6), (6, 7, 3), (2, 0, 4), (4, 6, 2)]
    out = ["\t*MESH {", "\t\t*TIMEVALUE 0", "\t\t*MESH_NUMVERTEX 8", "\t\t*MESH_NUMFACES 12",
           "\t\t*MESH_VERTEX_LIST {"]
    for i, v in enumerate(verts):
        out.append("\t\t\t*MESH_VERTEX %4d\t%s" % (i, vec(v)))
    out.append("\t\t}")
    out.append("\t\t*MESH_FACE_LIST {")
    for i, (a, b, c) in enumerate(faces):
        group = "%d" % (i // 2 + 1) if smoothing == "sides" else ("1" if smoothing == "all" else "")
        mtl = mtlids[i] if mtlids else 0
        out.append("\t\t\t*MESH_FACE %4d:    A: %4d B: %4d C: %4d AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING %s \t*MESH_MTLID %d"
                   % (i, a, b, c, group, mtl))
    out.append("\t\t}")
    if uv:
        tverts = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (1, 1, 0)]
        out.append("\t\t*MESH_NUMTVERTEX 4")
        out.append("\t\t*MESH_TVERTLIST {")
        for i, t in enumerate(tverts):
            out.append("\t\t\t*MESH_TVERT %d\t%s" % (i, vec(t)))
        out.append("\t\t}")
        out.append("\t\t*MESH_NUMTVFACES 12")
        out.append("\t\t*MESH_TFACELIST {")
        for i in range(12):
            t = (0, 2, 3) if i % 2 == 0 else (3, 1, 0)
            out.append("\t\t\t*MESH_TFACE %d\t%d\t%d\t%d" % (i, t[0], t[1], t[2]))
        out.append("\t\t}")
    return "\n".join(out)


def geomobject(name, pos, mesh, parent=None, material=None, anim="", extra=""):
    s = "*GEOMOBJECT {\n\t*NODE_NAME \"%s\"\n" % name
    if parent:
        s += "\t*NODE_PARENT \"%s\"\n" % parent
    s += node_tm(name, pos)
    s += mesh + "\n\t}\n" if mesh else ""
    s += extra
    s += anim
    if material is not None:
        s += "\t*MATERIAL_REF %d\n" % material
    s += "\t*WIREFRAME_COLOR 0.6000\t0.8000\t0.2000\n}\n"
    return s


TICKS = 160


def pos_bezier(keys):
    s = "\t\t*CONTROL_POS_BEZIER {\n"
    for frame, v, tin, tout in keys:
        s += "\t\t\t*CONTROL_BEZIER_POS_KEY %d\t%s\t%s\t%s\t0\n" % (frame * TICKS, vec(v), vec(tin), vec(tout))
    return s + "\t\t}\n"


def pos_samples(keys):
    s = "\t\t*CONTROL_POS_TRACK {\n"
    for frame, v in keys:
        s += "\t\t\t*CONTROL_POS_SAMPLE %d\t%s\n" % (frame * TICKS, vec(v))
    return s + "\t\t}\n"


def rot_tcb(keys):
    s = "\t\t*CONTROL_ROT_TCB {\n"
    for frame, axis, angle, tcb in keys:
        s += "\t\t\t*CONTROL_TCB_ROT_KEY %d\t%s\t%.4f\t%s\n" % (frame * TICKS, vec(axis), angle, vec(tcb))
    return s + "\t\t}\n"


def rot_samples(keys):
    s = "\t\t*CONTROL_ROT_TRACK {\n"
    for frame, axis, angle in keys:
        s += "\t\t\t*CONTROL_ROT_SAMPLE %d\t%s\t%.4f\n" % (frame * TICKS, vec(axis), angle)
    return s + "\t\t}\n"


def scale_bezier(keys):
    s = "\t\t*CONTROL_SCALE_BEZIER {\n"
    for frame, v in keys:
        s += "\t\t\t*CONTROL_BEZIER_SCALE_KEY %d\t%s\t0.0000\t0.0000\t0.0000\t0.0000\n" % (frame * TICKS, vec(v))
    return s + "\t\t}\n"


def scale_samples(keys):
    s = "\t\t*CONTROL_SCALE_TRACK {\n"
    for frame, v in keys:
        s += "\t\t\t*CONTROL_SCALE_SAMPLE %d\t%s\n" % (frame * TICKS, vec(v))
    return s + "\t\t}\n"


def tm_animation(name, *tracks):
    return "\t*TM_ANIMATION {\n\t\t*NODE_NAME \"%s\"\n%s\t}\n" % (name, "".join(tracks))


def showcase():
    zero = (0, 0, 0)
    s = "*3DSMAX_KZVEXPORT\t211\n"
    s += ("*SCENE {\n\t*SCENE_FILENAME \"showcase.max\"\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 90\n"
          "\t*SCENE_FRAMESPEED 30\n\t*SCENE_TICKSPERFRAME 160\n"
          "\t*SCENE_BACKGROUND_STATIC 0.1000\t0.1500\t0.2500\n\t*SCENE_AMBIENT_STATIC 0.2000\t0.2000\t0.2000\n"
          "\t*SCENE_SOUNDFILE \"tone.wav\"\n\t*SCENE_SCRIPTFILE \"showcase.txt\"\n}\n")
    s += """*MATERIAL_LIST {
\t*MATERIAL_COUNT 3
\t*MATERIAL 0 {
\t\t*MATERIAL_NAME "Brick"
\t\t*MATERIAL_CLASS "Standard"
\t\t*MATERIAL_AMBIENT 0.5000\t0.5000\t0.5000
\t\t*MATERIAL_DIFFUSE 0.8000\t0.8000\t0.8000
\t\t*MATERIAL_SPECULAR 0.9000\t0.9000\t0.9000
\t\t*MATERIAL_SHINE 0.2500
\t\t*MATERIAL_SHINESTRENGTH 0.5000
\t\t*MATERIAL_TRANSPARENCY 0.0000
\t\t*MAP_DIFFUSE {
\t\t\t*MAP_NAME "Bricks"
\t\t\t*BITMAP "maps\\BRICK.BMP"
\t\t\t*MAP_AMOUNT 1.0000
\t\t\t*UVW_U_OFFSET 0.0000
\t\t\t*UVW_V_OFFSET 0.0000
\t\t\t*UVW_U_TILING 2.0000
\t\t\t*UVW_V_TILING 3.0000
\t\t\t*UVW_W_ANGLE 0.0000
\t\t\t*UVW_TILE_U "Tile"
\t\t\t*UVW_TILE_V "Tile"
\t\t}
\t}
\t*MATERIAL 1 {
\t\t*MATERIAL_NAME "Multi"
\t\t*MATERIAL_CLASS "Multi/Sub-Object"
\t\t*NUMSUBMTLS 2
\t\t*SUBMATERIAL 0 {
\t\t\t*MATERIAL_NAME "Sequence"
\t\t\t*MATERIAL_DIFFUSE 1.0000\t1.0000\t1.0000
\t\t\t*MAP_DIFFUSE {
\t\t\t\t*BITMAP "Maps\\Sequence.IFL"
\t\t\t\t*MAP_AMOUNT 1.0000
\t\t\t\t*TIME_STARTFRAME 0.0000
\t\t\t\t*TIME_PLAYBACKRATE 1.0000
\t\t\t\t*TIME_ENDCONDITION "PingPong"
\t\t\t\t*UVW_TILE_U "Mirror"
\t\t\t\t*UVW_TILE_V "Tile"
\t\t\t}
\t\t}
\t\t*SUBMATERIAL 1 {
\t\t\t*MATERIAL_NAME "Pulse"
\t\t\t*MATERIAL_DIFFUSE 0.2000\t0.4000\t1.0000
\t\t\t*MATERIAL_AMBIENT 0.1000\t0.1000\t0.1000
\t\t\t*MATERIAL_SELFILLUM_COLOR 0.0000\t0.0000\t0.0000
\t\t\t*MATERIAL_TWOSIDED
\t\t\t*MATERIAL_ANIMATION {
\t\t\t\t*MATERIAL_ATTRIBUTE "Diffuse"
\t\t\t\t*CONTROL_COLOR_BEZIER {
\t\t\t\t\t*CONTROL_BEZIER_POINT3_KEY 0\t0.2000\t0.4000\t1.0000\t0.0000\t0.0000\t0.0000\t0.0000\t0.0000\t0.0000
\t\t\t\t\t*CONTROL_BEZIER_POINT3_KEY 7200\t1.0000\t0.2000\t0.2000\t0.0000\t0.0000\t0.0000\t0.0000\t0.0000\t0.0000
\t\t\t\t\t*CONTROL_BEZIER_POINT3_KEY 14400\t0.2000\t0.4000\t1.0000\t0.0000\t0.0000\t0.0000\t0.0000\t0.0000\t0.0000
\t\t\t\t}
\t\t\t\t*MATERIAL_ATTRIBUTE "SelfIllumColor"
\t\t\t\t*CONTROL_COLOR_LINEAR {
\t\t\t\t\t*CONTROL_POINT3_KEY 0\t0.0000\t0.0000\t0.0000
\t\t\t\t\t*CONTROL_POINT3_KEY 14400\t0.3000\t0.3000\t0.0000
\t\t\t\t}
\t\t\t\t*MATERIAL_ATTRIBUTE "Opacity"
\t\t\t\t*CONTROL_FLOAT_LINEAR {
\t\t\t\t\t*CONTROL_FLOAT_KEY 0\t1.0000
\t\t\t\t\t*CONTROL_FLOAT_KEY 14400\t0.5000
\t\t\t\t}
\t\t\t}
\t\t}
\t}
\t*MATERIAL 2 {
\t\t*MATERIAL_NAME "Glass"
\t\t*MATERIAL_DIFFUSE 0.6000\t0.8000\t1.0000
\t\t*MATERIAL_TRANSPARENCY 0.4000
\t\t*MATERIAL_TRANSPARENCY_TYPE Additive
\t\t*MAP_DIFFUSE {
\t\t\t*BITMAP "C:\\3dsmax\\maps\\Glass.PNG"
\t\t\t*MAP_AMOUNT 0.7500
\t\t\t*UVW_U_TILING 1.0000
\t\t\t*UVW_V_TILING 1.0000
\t\t\t*UVW_W_ANGLE 0.5000
\t\t\t*MAP_ANIMATION {
\t\t\t\t*MAP_ATTRIBUTE "OffsetU"
\t\t\t\t*CONTROL_FLOAT_BEZIER {
\t\t\t\t\t*CONTROL_BEZIER_FLOAT_KEY 0\t0.0000\t0.0000\t0.0000
\t\t\t\t\t*CONTROL_BEZIER_FLOAT_KEY 14400\t1.0000\t0.0000\t0.0000
\t\t\t\t}
\t\t\t\t*MAP_ATTRIBUTE "AngleW"
\t\t\t\t*CONTROL_FLOAT_BEZIER {
\t\t\t\t\t*CONTROL_BEZIER_FLOAT_KEY 0\t0.0000\t0.0000\t0.0000
\t\t\t\t\t*CONTROL_BEZIER_FLOAT_KEY 14400\t3.1416\t0.0000\t0.0000
\t\t\t\t}
\t\t\t}
\t\t\t*UVW_TILE_U "Tile"
\t\t\t*UVW_TILE_V "Tile"
\t\t}
\t\t*MATERIAL_ANIMATION {
\t\t\t*MATERIAL_ATTRIBUTE "Opacity"
\t\t\t*CONTROL_FLOAT_BEZIER {
\t\t\t\t*CONTROL_BEZIER_FLOAT_KEY 0\t0.6000\t0.0000\t0.0000
\t\t\t\t*CONTROL_BEZIER_FLOAT_KEY 14400\t0.2000\t0.0000\t0.0000
\t\t\t}
\t\t}
\t}
}
"""
    # A base, an arm that moves with Bezier position, TCB rotation and Bezier scale keys,
    # a "Multi" box with two sub-materials, and a hand that uses the sample controllers.
    s += geomobject("Base", (0, 0, 0), box_mesh((40, 40, 10)), material=0)
    s += geomobject("Arm", (0, 0, 20), box_mesh((10, 10, 30), centre=(0, 0, 15)), parent="Base", material=0,
                    anim=tm_animation("Arm",
                                      pos_bezier([(0, (0, 0, 20), zero, (0, 0, 0.1)),
                                                  (45, (15, 0, 25), (0, 0, 0), zero),
                                                  (90, (0, 0, 20), zero, zero)]),
                                      rot_tcb([(0, (0, 0, 1), 0.0, (0, 0, 0, 0, 0)),
                                               (45, (0, 0, 1), 2.0, (0.2, 0, 0, 0, 0)),
                                               (90, (0, 0, 1), 4.5, (0, 0, 0, 0.5, 0.5))]),
                                      scale_bezier([(0, (1, 1, 1)), (45, (1.5, 1.5, 1)), (90, (1, 1, 1))])))
    # "Multi" is transparent (the opacity track of its "Pulse" sub-material) and comes before the
    # opaque "Hand", so the opaque-first mesh order differs from the file order.
    s += geomobject("Multi", (40, 0, 5), box_mesh((12, 12, 12), mtlids=[0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1]),
                    material=1)
    s += geomobject("Hand", (0, 0, 52), box_mesh((6, 6, 6), smoothing="all"), parent="Arm", material=0,
                    anim=tm_animation("Hand",
                                      pos_samples([(0, (0, 0, 52)), (30, (0, 3, 52)), (60, (0, -3, 52)),
                                                   (90, (0, 0, 52))]),
                                      rot_samples([(0, (1, 0, 0), 0.0), (45, (1, 0, 0), 1.0), (90, (1, 0, 0), 1.0)]),
                                      scale_samples([(0, (1, 1, 1)), (45, (-2, 2, 2)), (90, (1, 1, 1))])))
    # A clone of the arm with a material of its own, standing beside it.
    s += ("*GEOMOBJECT {\n\t*NODE_NAME \"ArmClone\"\n" + node_tm("ArmClone", (-40, 0, 0)) +
          "\t*CLONE \"Arm\"\n\t*MATERIAL_REF 2\n\t*WIREFRAME_COLOR 0.2000\t0.2000\t0.9000\n}\n")
    # A dummy turning 7 rad in one sample step: more than 2 pi, so the step is split in three.
    s += ("*HELPEROBJECT {\n\t*NODE_NAME \"Dummy01\"\n\t*HELPER_CLASS \"Dummy\"\n" + node_tm("Dummy01", (0, 40, 0)) +
          tm_animation("Dummy01", rot_samples([(0, (0, 0, 1), 0.0), (90, (0, 0, 1), 7.0)])) + "}\n")
    # A camera with its target, the target written inside the camera block the way the
    # exporter writes it, and also as an object of its own.
    s += ("*CAMERAOBJECT {\n\t*NODE_NAME \"Camera01\"\n\t*CAMERA_TYPE Target\n" + node_tm("Camera01", (0, -150, 60)) +
          node_tm("Camera01.Target", (0, 0, 20)) +
          "\t*CAMERA_SETTINGS {\n\t\t*TIMEVALUE 0\n\t\t*CAMERA_NEAR 0.0000\n\t\t*CAMERA_FAR 1000.0000\n"
          "\t\t*CAMERA_FOV 0.7854\n\t\t*CAMERA_TDIST 160.0000\n\t}\n" +
          tm_animation("Camera01", pos_bezier([(0, (0, -150, 60), zero, zero), (90, (60, -140, 70), zero, zero)])) +
          "}\n")
    s += ("*TARGETOBJECT {\n\t*NODE_NAME \"Camera01.Target\"\n" + node_tm("Camera01.Target", (0, 0, 20)) + "}\n")
    s += light("Omni01", "Omni", (60, -60, 80), (1.0, 0.9, 0.8), 1.0)
    s += light("Spot01", "Target", (-60, -60, 100), (0.4, 0.6, 1.0), 1.5, target=(0, 0, 0), hotspot=30, falloff=45)
    s += light("Sun01", "Directional", (0, 0, 200), (0.3, 0.3, 0.3), 1.0)
    return s


def light(name, kind, pos, colour, intensity, target=None, hotspot=43, falloff=45):
    s = "*LIGHTOBJECT {\n\t*NODE_NAME \"%s\"\n\t*LIGHT_TYPE %s\n" % (name, kind)
    s += node_tm(name, pos)
    if target:
        s += node_tm(name + ".Target", target)
    s += "\t*LIGHT_SHADOWS Off\n\t*LIGHT_USELIGHT 1\n\t*LIGHT_SPOTSHAPE Circle\n"
    s += ("\t*LIGHT_SETTINGS {\n\t\t*TIMEVALUE 0\n\t\t*LIGHT_COLOR %s\n\t\t*LIGHT_INTENS %.4f\n"
          "\t\t*LIGHT_ASPECT 1.0000\n\t\t*LIGHT_HOTSPOT %.4f\n\t\t*LIGHT_FALLOFF %.4f\n"
          "\t\t*LIGHT_TDIST 240.0000\n\t}\n") % (vec(colour), intensity, hotspot, falloff)
    return s + "}\n"


def skinned():
    """Two bones bending a column of 12 vertices; a "Bounds" box gives the scene's size."""
    s = "*3DSMAX_KZVEXPORT\t211\n"
    s += ("*SCENE {\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 60\n\t*SCENE_FRAMESPEED 30\n"
          "\t*SCENE_TICKSPERFRAME 160\n\t*SCENE_BACKGROUND_STATIC 0.3000\t0.3000\t0.3000\n"
          "\t*SCENE_AMBIENT_STATIC 0.3000\t0.3000\t0.3000\n}\n")
    s += ("*BONEOBJECT {\n\t*NODE_NAME \"Bone01\"\n" + node_tm("Bone01", (0, 0, 0)) +
          tm_animation("Bone01", rot_tcb([(0, (1, 0, 0), 0.0, (0, 0, 0, 0, 0)),
                                          (30, (1, 0, 0), 0.3, (0, 0, 0, 0, 0)),
                                          (60, (1, 0, 0), -0.3, (0, 0, 0, 0, 0))])) + "}\n")
    s += ("*BONEOBJECT {\n\t*NODE_NAME \"Bone02\"\n\t*NODE_PARENT \"Bone01\"\n" + node_tm("Bone02", (0, 0, 20)) +
          tm_animation("Bone02", rot_tcb([(0, (1, 0, 0), 0.0, (0, 0, 0, 0, 0)),
                                          (30, (1, 0, 0), 0.8, (0, 0, 0, 0, 0)),
                                          (60, (1, 0, 0), -0.8, (0, 0, 0, 0, 0))])) + "}\n")
    # A column of 4 rings of 3 vertices from z = 0 to z = 40.
    verts = []
    for ring in range(4):
        z = ring * 40.0 / 3
        for k in range(3):
            a = 2 * math.pi * k / 3
            verts.append((5 * math.cos(a), 5 * math.sin(a), z))
    faces = []
    for ring in range(3):
        for k in range(3):
            a, b = ring * 3 + k, ring * 3 + (k + 1) % 3
            faces += [(a, b, b + 3), (b + 3, a + 3, a)]
    out = ["*GEOMOBJECT {", "\t*NODE_NAME \"Skin\"", node_tm("Skin", (0, 0, 0)).rstrip("\n"), "\t*MESH {",
           "\t\t*MESH_NUMVERTEX %d" % len(verts), "\t\t*MESH_NUMFACES %d" % len(faces), "\t\t*MESH_VERTEX_LIST {"]
    out += ["\t\t\t*MESH_VERTEX %d\t%s" % (i, vec(v)) for i, v in enumerate(verts)]
    out += ["\t\t}", "\t\t*MESH_FACE_LIST {"]
    out += ["\t\t\t*MESH_FACE %d:\tA: %d B: %d C: %d AB: 1 BC: 1 CA: 0\t*MESH_SMOOTHING 1\t*MESH_MTLID 0"
            % (i, a, b, c) for i, (a, b, c) in enumerate(faces)]
    out += ["\t\t}", "\t\t*MESH_WEIGHTS {", "\t\t\t*MESH_INIT_TM {",
            "\t\t\t\t*TM_ROW0 1.0000\t0.0000\t0.0000", "\t\t\t\t*TM_ROW1 0.0000\t1.0000\t0.0000",
            "\t\t\t\t*TM_ROW2 0.0000\t0.0000\t1.0000", "\t\t\t\t*TM_ROW3 0.0000\t0.0000\t0.0000", "\t\t\t}"]
    for bone, pos in (("Bone01", (0, 0, 0)), ("Bone02", (0, 0, 20))):
        out += ["\t\t\t*BONE_WEIGHT {", "\t\t\t\t*BONE_NAME \"%s\"" % bone, "\t\t\t\t*BONE_INIT_TM {",
                "\t\t\t\t\t*TM_ROW0 1.0000\t0.0000\t0.0000", "\t\t\t\t\t*TM_ROW1 0.0000\t1.0000\t0.0000",
                "\t\t\t\t\t*TM_ROW2 0.0000\t0.0000\t1.0000", "\t\t\t\t\t*TM_ROW3 %s" % vec(pos), "\t\t\t\t}"]
        for i, v in enumerate(verts):
            t = v[2] / 40.0  # 0 at the bottom, 1 at the top
            w = 1.0 - t if bone == "Bone01" else t
            if w > 0:
                out.append("\t\t\t\t*INDEX_WEIGHT %d %.4f" % (i, w))
        out.append("\t\t\t}")
    out += ["\t\t}", "\t}", "\t*WIREFRAME_COLOR 0.9000\t0.6000\t0.3000", "}"]
    s += "\n".join(out) + "\n"
    s += geomobject("Bounds", (0, 0, 20), box_mesh((30, 30, 50), uv=False), material=None)
    return s


def fog():
    """A small scene with fog: the fog colour replaces the background."""
    s = "*3DSMAX_KZVEXPORT\t210\n*SCENE {\n\t*SCENE_BACKGROUND_STATIC 0.0000\t0.0000\t0.0000\n}\n"
    s += "*ATMOSPHERIC {\n\t*STDFOG {\n\t\t*FOG_COLOR 0.5000\t0.6000\t0.7000\n\t\t*FOG_NEAR 10.0\n\t}\n}\n"
    s += "*GROUP \"Boxes\" {\n\t*GROUP \"Inner\" {\n"
    s += geomobject("FogBox", (0, 0, 0), box_mesh((10, 10, 10), uv=False))
    s += "\t}\n}\n"
    return s


def main():
    os.makedirs(OUT, exist_ok=True)
    make_images()
    for name, text in (("showcase.kzv", showcase()), ("skinned.kzv", skinned()), ("fog.kzv", fog())):
        # Windows tools write CRLF line ends; the scenes keep them.
        with open(os.path.join(OUT, name), "w", newline="\r\n") as f:
            f.write(text)


if __name__ == "__main__":
    main()
