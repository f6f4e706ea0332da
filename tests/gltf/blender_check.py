# Imports .glb files in Blender with its own glTF importer and checks what a
# user meets there. Run by tests/gltf/run_blender_check.sh as
#
#   blender -b --factory-startup --python blender_check.py -- EXPECTED.json
#
# EXPECTED.json lists models: {"glb": path, "bones": n, "triangles": level-0
# triangles, "animations": n, "seconds": [clip lengths] or null, "box":
# [[x, y, z] lowest, [x, y, z] highest] of the level-0 vertices as the model
# stores them (Z up)}. For each, in an empty scene:
#   - one armature bone per skeleton bone;
#   - the visible meshes are level 0: their triangles are the level-0 count
#     and no visible object is named after a lower level ("lod<k>_...");
#   - one action per animation, each as long as its clip where given;
#   - Z up: in the rest pose, the visible vertices span the model's own box
#     in Blender's world (the file turns Z up to glTF's Y up, the importer
#     turns it back), so no axis is swapped or flipped.
# Prints one line per model and "N passed, N failed" at the end; exit status
# 1 when any model failed.
import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "blender"))
import scene_checks  # noqa: E402  (before bpy's importer needs numpy)

import bpy  # noqa: E402


def check(model):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    result = bpy.ops.import_scene.gltf(filepath=model["glb"])
    if result != {"FINISHED"}:
        return ["import ended with %s" % sorted(result)]
    problems = []
    objects = list(bpy.context.scene.objects)

    bones = scene_checks.armature_bones(objects)
    if bones != model["bones"]:
        problems.append("%d armature bones, expected %d" % (bones, model["bones"]))

    triangles, lower = scene_checks.visible_triangles(objects)
    problems += ["lower level shown: %s" % name for name in lower]
    if triangles != model["triangles"]:
        problems.append("%d visible triangles, expected %d" % (triangles, model["triangles"]))

    actions = list(bpy.data.actions)
    if len(actions) != model["animations"]:
        problems.append("%d actions, expected %d" % (len(actions), model["animations"]))
    if model.get("seconds") is not None:
        problems += scene_checks.clip_problems(actions, model["seconds"], scene_checks.scene_fps(bpy.context.scene))

    for o in objects:
        if o.type == "ARMATURE":
            o.data.pose_position = "REST"
    bpy.context.view_layer.update()
    depsgraph = bpy.context.evaluated_depsgraph_get()
    low, high = [float("inf")] * 3, [float("-inf")] * 3
    for o in objects:
        if o.type != "MESH" or not o.visible_get():
            continue
        evaluated = o.evaluated_get(depsgraph)
        mesh = evaluated.to_mesh()
        for vertex in mesh.vertices:
            world = evaluated.matrix_world @ vertex.co
            for axis in range(3):
                low[axis] = min(low[axis], world[axis])
                high[axis] = max(high[axis], world[axis])
        evaluated.to_mesh_clear()
    want_low, want_high = model["box"]
    size = max(max(h - l for l, h in zip(want_low, want_high)), 1.0)
    if any(abs(g - w) > 1e-3 * size for g, w in zip(low + high, want_low + want_high)):
        problems.append("rest-pose box %s..%s in Blender, expected %s..%s (Z up)" %
                        ([round(v, 4) for v in low], [round(v, 4) for v in high], want_low, want_high))
    return problems


def main():
    args = sys.argv[sys.argv.index("--") + 1:]
    with open(args[0]) as f:
        models = json.load(f)
    passed = failed = 0
    for model in models:
        try:
            problems = check(model)
        except Exception as error:  # an importer failure is a finding too
            problems = ["%s: %s" % (type(error).__name__, error)]
        if problems:
            failed += 1
            print("FAIL %s: %s" % (model["glb"], "; ".join(problems)))
        else:
            passed += 1
            print("ok   %s" % model["glb"])
    print("blender: %d passed, %d failed" % (passed, failed))
    sys.stdout.flush()
    sys.exit(1 if failed or not passed else 0)


main()
