# What the Blender checks count in a scene after an import; shared by
# tests/gltf/blender_check.py and tests/blender/addon_check.py, which run
# inside Blender (import this after putting its folder on sys.path).
import re

import numpy

# Debian's numpy 1.24 no longer has numpy.bool, which Blender 3.4's glTF
# importer still uses.
if "bool" not in vars(numpy):
    numpy.bool = bool


def armature_bones(objects):
    return sum(len(o.data.bones) for o in objects if o.type == "ARMATURE")


def visible_triangles(objects):
    """The triangles of the visible meshes, and the names of the visible
    meshes of a lower level (named "lod<k>_..." by the tool)."""
    triangles, lower = 0, []
    for o in objects:
        if o.type != "MESH" or not o.visible_get():
            continue
        if re.search(r"(^|_)lod[0-9]+_", o.name):
            lower.append(o.name)
        o.data.calc_loop_triangles()
        triangles += len(o.data.loop_triangles)
    return triangles, lower


def scene_fps(scene):
    return scene.render.fps / scene.render.fps_base


def clip_problems(actions, seconds, fps):
    """Problems with the actions' lengths against clip lengths in seconds
    (any order), at `fps` scene frames per second."""
    got = sorted(round((a.frame_range[1] - a.frame_range[0]) / fps, 3) for a in actions)
    want = sorted(round(s, 3) for s in seconds)
    if len(got) != len(want) or any(abs(g - w) > 1.5 / fps for g, w in zip(got, want)):
        return ["clip lengths %s s, expected %s s" % (got, want)]
    return []
