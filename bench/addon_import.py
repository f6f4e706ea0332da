# Times, inside Blender, Blender's glTF import of a .glb and the add-on's
# import of the model it was converted from. Run by `bench/run --addon` as
#
#   blender -b --factory-startup --python addon_import.py -- ZIP TOOL MODEL.mdl MODEL.glb RUNS
#
# with BLENDER_USER_SCRIPTS and BLENDER_USER_CONFIG set to a fresh folder.
# The two imports alternate, which goes first changing from run to run, each
# into an emptied scene at the first animation's 30 frames per second; prints
# "glb WALL CPU" and "addon WALL CPU": the median seconds on the clock and of
# processor time (Blender's, and the tool's for the add-on) of each.
import resource
import statistics
import sys
import time

import numpy

# Debian's numpy 1.24 no longer has numpy.bool, which Blender 3.4's glTF
# importer still uses (the add-on says the same for its own imports).
if "bool" not in vars(numpy):
    numpy.bool = bool

import bpy  # noqa: E402

ZIP, TOOL, MODEL, GLB, RUNS = sys.argv[sys.argv.index("--") + 1:]


def empty_scene():
    data = bpy.data
    for kind in (data.objects, data.meshes, data.armatures, data.actions, data.materials, data.collections):
        for item in list(kind):
            kind.remove(item)
    bpy.context.scene.render.fps, bpy.context.scene.render.fps_base = 30, 1.0


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(call):
    """The wall and processor seconds of `call`, its child processes' too."""
    empty_scene()
    wall, cpu, children = time.perf_counter(), time.process_time(), children_cpu()
    result = call()
    wall, cpu = time.perf_counter() - wall, time.process_time() - cpu + children_cpu() - children
    if result != {"FINISHED"}:
        sys.exit("import ended with %s" % sorted(result))
    return wall, cpu


bpy.ops.preferences.addon_install(filepath=ZIP)
bpy.ops.preferences.addon_enable(module="tamberlo_import")
bpy.context.preferences.addons["tamberlo_import"].preferences.tool_path = TOOL
glb, addon = [], []
for run in range(int(RUNS)):
    for kind in ("glb", "addon") if run % 2 == 0 else ("addon", "glb"):
        if kind == "glb":
            glb.append(timed(lambda: bpy.ops.import_scene.gltf(filepath=GLB)))
        else:
            addon.append(timed(lambda: bpy.ops.import_scene.tamberlo_model(filepath=MODEL)))
for label, times in (("glb", glb), ("addon", addon)):
    print("%s %.3f %.3f" % (label, statistics.median(t[0] for t in times), statistics.median(t[1] for t in times)))
sys.stdout.flush()
