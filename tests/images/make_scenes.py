#!/usr/bin/env python3
"""Writes the small scenes of the image tests (tests/images/scenes/) from the sample builders:
features.kzv (a transparent box in front of an opaque one, a reflection-mapped box, a
background texture) and markers.kzv (helpers with parent links and no mesh)."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
from make_samples import box_mesh, geomobject, light, node_tm, tm_animation, rot_samples  # noqa: E402

MAPS = "../../../data/samples/maps/"


def material(index, name, diffuse, extra=""):
    return ("\t*MATERIAL %d {\n\t\t*MATERIAL_NAME \"%s\"\n\t\t*MATERIAL_CLASS \"Standard\"\n"
            "\t\t*MATERIAL_AMBIENT 0.3000\t0.3000\t0.3000\n\t\t*MATERIAL_DIFFUSE %s\n"
            "\t\t*MATERIAL_SPECULAR 0.0000\t0.0000\t0.0000\n%s\t}\n") % (index, name, diffuse, extra)


def features():
    s = "*3DSMAX_KZVEXPORT\t211\n*SCENE {\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 30\n"
    s += "\t*SCENE_FRAMESPEED 30\n\t*SCENE_TICKSPERFRAME 160\n"
    s += "\t*SCENE_BACKGROUND_STATIC 0.0000\t0.0000\t0.0000\n\t*SCENE_AMBIENT_STATIC 0.2000\t0.2000\t0.2000\n"
    s += "\t*SCENE_ENVMAP {\n\t\t*BITMAP \"%sframe1.png\"\n\t}\n}\n" % MAPS
    s += "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 3\n"
    s += material(0, "Brick", "0.8000\t0.8000\t0.8000",
                  "\t\t*MAP_DIFFUSE {\n\t\t\t*BITMAP \"%sbrick.bmp\"\n\t\t\t*MAP_AMOUNT 1.0000\n\t\t}\n" % MAPS)
    s += material(1, "Glass", "0.2000\t0.9000\t0.3000", "\t\t*MATERIAL_TRANSPARENCY 0.5000\n")
    s += material(2, "Chrome", "0.5000\t0.5000\t0.5000",
                  "\t\t*MAP_REFLECT {\n\t\t\t*BITMAP \"%sframe2.png\"\n\t\t\t*MAP_AMOUNT 1.0000\n\t\t}\n" % MAPS)
    s += "}\n"
    s += geomobject("Wall", (0, 0, 0), box_mesh((40, 10, 30)), material=0)
    s += geomobject("Pane", (-5, -25, 0), box_mesh((20, 2, 20), uv=False), material=1)
    s += geomobject("Mirror", (32, -10, 0), box_mesh((14, 14, 14), uv=False, smoothing="all"), material=2)
    s += light("Omni01", "Omni", (30, -80, 60), (1.0, 1.0, 1.0), 1.0)
    return s


def markers():
    s = "*3DSMAX_KZVEXPORT\t211\n*SCENE {\n\t*SCENE_BACKGROUND_STATIC 0.1000\t0.1000\t0.1000\n}\n"
    for name, parent, pos in (("Root", None, (0, 0, 0)), ("Arm", "Root", (20, 0, 10)),
                              ("Hand", "Arm", (30, 0, 30)), ("Leg", "Root", (-20, 0, -20))):
        s += "*HELPEROBJECT {\n\t*NODE_NAME \"%s\"\n" % name
        if parent:
            s += "\t*NODE_PARENT \"%s\"\n" % parent
        s += "\t*HELPER_CLASS \"Dummy\"\n" + node_tm(name, pos) + "}\n"
    return s


def main():
    out = os.path.join(HERE, "scenes")
    os.makedirs(out, exist_ok=True)
    for name, text in (("features.kzv", features()), ("markers.kzv", markers())):
        with open(os.path.join(out, name), "w", newline="\r\n") as f:
            f.write(text)


if __name__ == "__main__":
    main()
