"""Bringing a converted model into the scene with Blender's glTF importer."""
import os
import re

import bpy

from . import glb_info


def _numpy_shim():
    # Blender 3.4's glTF importer uses numpy.bool, which numpy 1.24 (Debian
    # 12's) no longer has; later numpy versions have it again.
    import numpy
    if "bool" not in vars(numpy):
        numpy.bool = bool


def new_collection(name, parent):
    collection = bpy.data.collections.new(name)
    parent.children.link(collection)
    return collection


def _layer_collection(layer, collection):
    if layer.collection == collection:
        return layer
    for child in layer.children:
        found = _layer_collection(child, collection)
        if found is not None:
            return found
    return None


# The model name of each .glb being imported by this add-on, while it is.
_models_importing = {}


class ActionNaming:
    """An import extension of Blender's glTF importer, which asks every
    enabled add-on for one (glTF2ImportUserExtension): names the actions of
    this add-on's files "<model>_<animation>" as they are made, before Blender
    first evaluates them. An action renamed later has Blender evaluate every
    deformed mesh again, seconds on a large model."""

    def __init__(self):
        self.known = {a.as_pointer() for a in bpy.data.actions}

    def gather_import_animation_after_hook(self, animation_index, track_name, gltf):
        model = _models_importing.get(os.path.abspath(getattr(gltf, "filename", "")))
        if model is None:
            return
        for action in bpy.data.actions:
            if action.as_pointer() not in self.known:
                self.known.add(action.as_pointer())
                action.name = "%s_%s" % (model, track_name)


def _import_glb(context, path, collection, model):
    """Imports one .glb of `model` and moves what it made into `collection`;
    returns the new objects and actions."""
    _numpy_shim()
    known_objects = {o.as_pointer() for o in bpy.data.objects}
    known_actions = {a.as_pointer() for a in bpy.data.actions}
    path = os.path.abspath(path)
    _models_importing[path] = model
    try:
        result = bpy.ops.import_scene.gltf(filepath=path)
    finally:
        del _models_importing[path]
    if "FINISHED" not in result:
        raise RuntimeError("Blender's glTF importer ended with %s" % ", ".join(sorted(result)))
    objects = [o for o in bpy.data.objects if o.as_pointer() not in known_objects]
    actions = [a for a in bpy.data.actions if a.as_pointer() not in known_actions]
    for obj in objects:
        holders = list(obj.users_collection)
        if collection not in holders:
            collection.objects.link(obj)
        for holder in holders:
            if holder != collection:
                holder.objects.unlink(obj)
    return objects, actions


def _remove_object(obj):
    data = obj.data
    bpy.data.objects.remove(obj)
    if data is not None and data.users == 0 and isinstance(data, bpy.types.Armature):
        bpy.data.armatures.remove(data)


def _rest_pose(armature):
    for bone in armature.pose.bones:
        bone.location = (0, 0, 0)
        bone.rotation_quaternion = (1, 0, 0, 0)
        bone.rotation_euler = (0, 0, 0)
        bone.scale = (1, 1, 1)


def _name_meshes(objects, model):
    # Objects only: renaming a mesh (as renaming an action, or setting one)
    # has Blender evaluate every deformed mesh again, seconds on a large
    # model; an object's name costs nothing.
    for obj in objects:
        if obj.type == "MESH":
            obj.name = "%s_%s" % (model, obj.name)


class ImportedModel:
    def __init__(self, armature, objects, actions, first_action):
        self.armature = armature
        self.objects = objects
        self.actions = actions
        self.first_action = first_action


def use_first_clip_rate(scene, clips):
    """Sets the scene's frame rate to the first animation's, where the file
    shows it, so that the importer puts its keys on whole frames. Returns
    whether it was set."""
    if not clips or clips[0].fps is None:
        return False
    scene.render.fps, scene.render.fps_base = glb_info.scene_rate(clips[0].fps)
    return True


def import_model(context, model, glb, clips, lods, collection, animations):
    """Imports a model's main .glb into `collection`, named after `model`;
    its lower levels (a list of (level, path)) each into a collection of
    their own inside a "<model> LODs" collection excluded from the view layer,
    bound to the main armature. `clips` are the file's (glb_info.clips);
    `animations` is "ALL" or "NONE"."""
    objects, actions = _import_glb(context, glb, collection, model)
    armatures = [o for o in objects if o.type == "ARMATURE"]
    armature = armatures[0] if len(armatures) == 1 else None
    if armature is not None:
        armature.name = model
        armature.data.name = model
    _name_meshes(objects, model)

    # The importer makes an NLA track per animation, named like it.
    by_clip = {}
    for obj in armatures:
        if obj.animation_data is None:
            continue
        for track in obj.animation_data.nla_tracks:
            for strip in track.strips:
                if strip.action is not None:
                    by_clip.setdefault(track.name, strip.action)
    first_action = None
    if animations == "NONE":
        for obj in armatures:
            obj.animation_data_clear()
            _rest_pose(obj)
        for action in actions:
            bpy.data.actions.remove(action)
        actions = []
    else:
        for name, action in by_clip.items():
            # Where the importer did not call ActionNaming.
            wanted = "%s_%s" % (model, name)
            if not re.fullmatch(re.escape(wanted) + r"(\.[0-9]+)?", action.name):
                action.name = wanted
        if clips and clips[0].name in by_clip:
            first_action = by_clip[clips[0].name]
            if armature is not None and armature.animation_data.action != first_action:
                armature.animation_data.action = first_action

    if lods:
        holder = new_collection("%s LODs" % model, collection)
        for level, path in lods:
            level_collection = new_collection("%s LOD %d" % (model, level), holder)
            lod_objects, lod_actions = _import_glb(context, path, level_collection, model)
            for action in lod_actions:
                bpy.data.actions.remove(action)
            _name_meshes(lod_objects, model)
            _bind_to(lod_objects, armature)
        layer = _layer_collection(context.view_layer.layer_collection, holder)
        if layer is not None:
            layer.exclude = True

    for obj in context.view_layer.objects:
        obj.select_set(False)
    active = armature or next((o for o in objects if o.name in context.view_layer.objects), None)
    if active is not None:
        active.select_set(True)
        context.view_layer.objects.active = active
    return ImportedModel(armature, objects, actions, first_action)


def _bind_to(objects, armature):
    """Binds a lower level's meshes to the main armature (the same skeleton,
    at the same place) and removes the level's own armature."""
    if armature is None:
        return
    own = [o for o in objects if o.type == "ARMATURE"]
    for obj in objects:
        if obj.type != "MESH":
            continue
        for modifier in obj.modifiers:
            if modifier.type == "ARMATURE" and modifier.object in own:
                modifier.object = armature
        if obj.parent in own:
            world = obj.matrix_world.copy()
            obj.parent = armature
            obj.matrix_world = world
    for obj in own:
        _remove_object(obj)


def set_frame_range(scene, action):
    start, end = action.frame_range
    scene.frame_start = int(round(start))
    scene.frame_end = max(int(round(end)), scene.frame_start)
