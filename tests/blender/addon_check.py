# Installs the add-on from its zip into the profile Blender was started with
# and imports models through its operators. Run by run_addon_check.sh as
#
#   blender -b --factory-startup --python addon_check.py -- ZIP TOOL OUT PICTURE
#
# OUT/expected.json lists models: {"path", "bones", "triangles" (level 0),
# "lods" (levels of detail), "clips": [[frames, fps], ...] in the file's
# order}. Each is imported alone into an empty scene (the lower levels too
# where it has some), and checked: an armature named after the model with one
# bone per skeleton bone, active; the visible triangles are level 0's; one
# action per animation with its frame range at the scene's rate, which is the
# first animation's, as is the scene's frame range; lower levels in excluded
# collections, bound to the model's armature. Then the options and the
# folder import, a damaged model beside an intact one, a tool path that does
# not exist, and the Workbench picture of the sample. Prints one line per
# check and "N passed, N failed"; exit status 1 when any check failed.
import ctypes
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scene_checks  # noqa: E402

import bpy  # noqa: E402
import mathutils  # noqa: E402

ZIP, TOOL, OUT, PICTURE = sys.argv[sys.argv.index("--") + 1:]
ADDON = "tamberlo_import"
LIBC = ctypes.CDLL(None)


def empty_scene():
    data = bpy.data
    for kind in (data.objects, data.meshes, data.armatures, data.actions, data.materials, data.collections,
                 data.cameras):
        for item in list(kind):
            kind.remove(item)
    scene = bpy.context.scene
    scene.render.fps, scene.render.fps_base = 24, 1.0
    scene.frame_start, scene.frame_end = 1, 250


def with_output(call):
    """Calls `call`, returning its result (or the exception it raised) and
    what Blender printed meanwhile: the operator's reports, in background."""
    path = os.path.join(OUT, "reports.txt")
    sys.stdout.flush()
    LIBC.fflush(None)
    saved = os.dup(1)
    with open(path, "wb") as f:
        os.dup2(f.fileno(), 1)
        try:
            result = call()
        except Exception as error:
            result = error
        finally:
            LIBC.fflush(None)
            os.dup2(saved, 1)
            os.close(saved)
    with open(path, encoding="utf-8", errors="replace") as f:
        return result, f.read()


def name_of(path):
    return os.path.splitext(os.path.basename(path))[0]


def near(a, b):
    return abs(a - b) < 0.01


def check_model(model):
    empty_scene()
    name = name_of(model["path"])
    result = bpy.ops.import_scene.tamberlo_model(filepath=model["path"], lower_lods=model["lods"] > 1)
    if result != {"FINISHED"}:
        return ["import ended with %s" % sorted(result)]
    problems = []
    scene = bpy.context.scene
    armature = bpy.data.objects.get(name)
    if armature is None or armature.type != "ARMATURE":
        return ["no armature named %s: %s" % (name, [o.name for o in scene.objects])]
    if bpy.context.view_layer.objects.active != armature:
        problems.append("the active object is not the armature")
    if scene_checks.armature_bones([armature]) != model["bones"]:
        problems.append("%d bones, expected %d" % (len(armature.data.bones), model["bones"]))
    triangles, lower = scene_checks.visible_triangles(scene.objects)
    problems += ["lower level shown: %s" % n for n in lower]
    if triangles != model["triangles"]:
        problems.append("%d visible triangles, expected %d" % (triangles, model["triangles"]))
    others = [o.name for o in scene.objects if o != armature and not o.name.startswith(name + "_")]
    if others:
        problems.append("objects not named after the model: %s" % others)

    clips, actions = model["clips"], list(bpy.data.actions)
    if len(actions) != len(clips) or any(not a.name.startswith(name + "_") for a in actions):
        problems.append("actions %s for %d animations" % ([a.name for a in actions], len(clips)))
    fps = scene_checks.scene_fps(scene)
    if clips:
        first_frames, first_fps = clips[0]
        if not near(fps, first_fps):
            problems.append("scene at %g fps, the first animation at %g" % (fps, first_fps))
        want = sorted((frames - 1) / rate * fps for frames, rate in clips)
        got = sorted(a.frame_range[1] for a in actions)
        if any(a.frame_range[0] != 0 for a in actions) or len(got) != len(want) or \
                not all(near(g, w) for g, w in zip(got, want)):
            problems.append("action ends %s, expected %s (all from 0)" % (got, want))
        if (scene.frame_start, scene.frame_end) != (0, first_frames - 1):
            problems.append("scene frames %d..%d, expected 0..%d" % (scene.frame_start, scene.frame_end,
                                                                      first_frames - 1))
        action = armature.animation_data.action if armature.animation_data else None
        if action is None or not near(action.frame_range[1], first_frames - 1):
            problems.append("the armature's action is not the first animation")
    elif fps != 24:
        problems.append("scene rate changed to %g without animations" % fps)

    if model["lods"] > 1:
        problems += lod_problems(name, armature, model["lods"] - 1)
    return problems


def lod_problems(name, armature, levels):
    holder = bpy.data.collections.get(name + " LODs")
    if holder is None:
        return ["no collection %s LODs" % name]
    problems = []
    layers = [bpy.context.view_layer.layer_collection]
    while layers and layers[0].collection != holder:
        layers = layers[1:] + list(layers[0].children)
    if not layers or not layers[0].exclude:
        problems.append("the LODs collection is not excluded from the view layer")
    if len(holder.children) != levels:
        problems.append("%d level collections, expected %d" % (len(holder.children), levels))
    for obj in holder.all_objects:
        bound = [m.object for m in obj.modifiers if m.type == "ARMATURE"]
        if obj.type != "MESH" or obj.parent != armature or bound != [armature]:
            problems.append("%s is not a mesh bound to %s" % (obj.name, armature.name))
    if any(o.type == "ARMATURE" and o != armature for o in bpy.data.objects):
        problems.append("a lower level kept its own armature")
    return problems


def check_no_animations(models):
    model = next(m for m in models if len(m["clips"]) == 2)
    empty_scene()
    bpy.ops.import_scene.tamberlo_model(filepath=model["path"], animations="NONE")
    armature = bpy.data.objects[name_of(model["path"])]
    problems = []
    if bpy.data.actions or (armature.animation_data and armature.animation_data.action):
        problems.append("actions with animations none: %s" % [a.name for a in bpy.data.actions])
    if any(b.location.length > 0 or b.rotation_quaternion != mathutils.Quaternion() for b in armature.pose.bones):
        problems.append("the armature is not in its rest pose")
    if scene_checks.scene_fps(bpy.context.scene) != 24:
        problems.append("the scene rate changed")
    return problems


def check_kept_sources(models):
    model = next(m for m in models if m["clips"] and "31-36" in m["path"])
    empty_scene()
    kept = os.path.join(OUT, "kept")
    bpy.ops.import_scene.tamberlo_model(filepath=model["path"], keep_sources=True, sources_folder=kept)
    folder = os.path.join(kept, name_of(model["path"]))
    names = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    if "dec.qc" not in names or not any(n.endswith(".smd") for n in names) or any(n.endswith(".glb") for n in names):
        return ["kept %s in %s, expected dec.qc and SMD files, no .glb" % (names, folder)]
    return [] if bpy.data.objects.get(name_of(model["path"])) else ["not imported"]


def check_damaged():
    """A damaged model selected with an intact one: the tool's problem line
    as a warning, the intact one imported."""
    empty_scene()
    folder = os.path.join(OUT, "damaged")
    result, said = with_output(lambda: bpy.ops.import_scene.tamberlo_model(
        directory=folder, files=[{"name": "cut.mdl"}, {"name": "whole.mdl"}]))
    problems = []
    if result != {"FINISHED"}:
        problems.append("import ended with %r" % (result,))
    if "Warning: cut.mdl: Bad data" not in said or "Warning: Imported 1 of 2 models" not in said:
        problems.append("reports: %r" % said)
    if bpy.data.objects.get("whole") is None or bpy.data.objects.get("cut") is not None:
        problems.append("objects %s" % [o.name for o in bpy.data.objects])
    return problems


def check_missing_tool(preferences):
    empty_scene()
    preferences.tool_path = os.path.join(OUT, "no-such-tool")
    model = os.path.join(OUT, "damaged", "whole.mdl")
    result, said = with_output(lambda: bpy.ops.import_scene.tamberlo_model(filepath=model))
    preferences.tool_path = TOOL
    if not isinstance(result, RuntimeError) or "Preferences > Add-ons" not in str(result):
        return ["%r instead of an error naming where the tool path is set" % (result,)]
    return [] if not bpy.data.objects else ["something was imported"]


def check_folder(models):
    """Every model of the tree in a collection of its own, the model without
    a strip file named; stopped with Esc after two models, those two stay."""
    empty_scene()
    folder = os.path.join(OUT, "models")
    result, said = with_output(lambda: bpy.ops.import_scene.tamberlo_folder(directory=folder))
    problems = []
    if result != {"FINISHED"}:
        problems.append("import ended with %r" % (result,))
    top = bpy.data.collections.get("models")
    names = sorted(c.name for c in top.children) if top else []
    want = sorted(name_of(m["path"]) for m in models)
    if names != want:
        problems.append("collections %s, expected %s" % (names, want))
    for collection in (top.children if top else []):
        if not any(o.type == "ARMATURE" and o.name == collection.name for o in collection.objects):
            problems.append("collection %s holds no armature of its name" % collection.name)
    if "lonely.mdl: skipped" not in said:
        problems.append("the model without a strip file was not named: %r" % said[-500:])
    if scene_checks.scene_fps(bpy.context.scene) != next(m for m in models if m["clips"])["clips"][0][1]:
        problems.append("the scene rate is not the first model's")

    # The window's path: a model per timer event, Esc stops; driven here by
    # hand (a Blender without a window sends no events).
    empty_scene()
    operators = sys.modules[ADDON + ".operators"]
    importing = sys.modules[ADDON + ".importing"]
    folder_operator = operators.IMPORT_SCENE_OT_tamberlo_folder

    class Window:
        modal, _step, _end, finish = (folder_operator.modal, folder_operator._step, folder_operator._end,
                                      operators._ModelOptions.finish)
        said = []

        def report(self, level, text):
            self.said.append(text)

    window = Window()
    window._job = operators.FolderImport(bpy.context, os.path.join(folder, "37"),
                                         importing.Session(TOOL, importing.Options()))
    bpy.context.window_manager.progress_begin(0, len(window._job.models))
    answers = [window.modal(bpy.context, type("Event", (), {"type": kind})) for kind in ("TIMER", "TIMER", "ESC")]
    if answers != [{"RUNNING_MODAL"}, {"RUNNING_MODAL"}, {"FINISHED"}] or len(window._job.collection.children) != 2:
        problems.append("timer, timer, Esc: %s, %d models" % (answers, len(window._job.collection.children)))
    if "Imported 2 of %d models; stopped" % len(window._job.models) not in window.said:
        problems.append("stopping said %s" % window.said)
    return problems


def render_sample(models):
    """The sample in the middle of its first animation, drawn by Workbench."""
    empty_scene()
    bpy.ops.import_scene.tamberlo_model(filepath=next(m["path"] for m in models if m["path"].endswith("sample.mdl")))
    scene = bpy.context.scene
    scene.frame_set((scene.frame_start + scene.frame_end + 1) // 2)
    depsgraph = bpy.context.evaluated_depsgraph_get()
    points = []
    for obj in scene.objects:
        if obj.type == "MESH":
            evaluated = obj.evaluated_get(depsgraph)
            points += [evaluated.matrix_world @ v.co for v in evaluated.to_mesh().vertices]
            evaluated.to_mesh_clear()
    low = mathutils.Vector([min(p[i] for p in points) for i in range(3)])
    high = mathutils.Vector([max(p[i] for p in points) for i in range(3)])
    centre, size = (low + high) / 2, (high - low).length
    camera = bpy.data.objects.new("camera", bpy.data.cameras.new("camera"))
    scene.collection.objects.link(camera)
    direction = mathutils.Vector((1.0, -1.2, 0.8)).normalized()
    camera.location = centre + direction * size * 2
    camera.rotation_euler = (-direction).to_track_quat("-Z", "Y").to_euler()
    camera.data.type = "ORTHO"
    camera.data.ortho_scale = size * 1.5
    camera.data.clip_start, camera.data.clip_end = size * 0.01, size * 4
    scene.camera = camera
    scene.render.engine = "BLENDER_WORKBENCH"
    shading = scene.display.shading
    shading.light, shading.color_type = "MATCAP", "RANDOM"
    shading.show_object_outline = True
    scene.world = bpy.data.worlds.new("backdrop")
    scene.world.color = (0.6, 0.63, 0.68)
    scene.render.resolution_x, scene.render.resolution_y = 800, 500
    scene.render.filepath = PICTURE
    bpy.ops.render.render(write_still=True)
    return [] if os.path.getsize(PICTURE) > 1000 else ["no picture written"]


def main():
    with open(os.path.join(OUT, "expected.json")) as f:
        models = json.load(f)
    passed = failed = 0

    def run(label, check, *args):
        nonlocal passed, failed
        try:
            problems = check(*args)
        except Exception as error:
            problems = ["%s: %s" % (type(error).__name__, error)]
        if problems:
            failed += 1
            print("FAIL %s: %s" % (label, "; ".join(problems)))
        else:
            passed += 1
            print("ok   %s" % label)
        sys.stdout.flush()

    bpy.ops.preferences.addon_install(filepath=ZIP)
    bpy.ops.preferences.addon_enable(module=ADDON)
    module = sys.modules.get(ADDON)
    installed = module is not None and module.__file__.startswith(os.path.join(OUT, "scripts"))
    run("the add-on installed from %s" % os.path.basename(ZIP), lambda: [] if installed else ["not installed"])
    if not installed:
        sys.exit(1)
    preferences = bpy.context.preferences.addons[ADDON].preferences
    preferences.tool_path = TOOL
    for model in models:
        run(model["path"], check_model, model)
    run("animations: none", check_no_animations, models)
    run("SMD files and dec.qc kept", check_kept_sources, models)
    run("a damaged model beside an intact one", check_damaged)
    run("a tool path that does not exist", check_missing_tool, preferences)
    run("the folder import", check_folder, models)
    run("the picture %s" % PICTURE, render_sample, models)
    print("add-on: %d passed, %d failed" % (passed, failed))
    sys.stdout.flush()
    sys.exit(1 if failed else 0)


main()
