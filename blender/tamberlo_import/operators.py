"""File > Import > Compiled model (.mdl) and Folder of compiled models."""
import os

import bpy
from bpy.props import BoolProperty, CollectionProperty, EnumProperty, StringProperty
from bpy_extras.io_utils import ImportHelper

from . import folder_walk
from . import importing
from . import scene
from . import tool


def _preferences(context):
    addon = context.preferences.addons.get(__package__)
    return addon.preferences if addon is not None else None


def _tool_path(context):
    preferences = _preferences(context)
    return tool.find_tool(bpy.path.abspath(preferences.tool_path) if preferences else "")


class _ModelOptions:
    animations: EnumProperty(
        name="Animations",
        items=(("ALL", "All", "Every animation as an action"),
               ("NONE", "None", "No actions; the armature in its rest pose")),
        default="ALL")
    lower_lods: BoolProperty(
        name="Lower Levels of Detail",
        description="Also import the lower levels of detail, each in a collection of its own, excluded from "
                    "the view layer",
        default=False)
    keep_sources: BoolProperty(
        name="Keep SMD Files and dec.qc",
        description="Also write the model's SMD files and dec.qc into a folder of the model's name below "
                    "the folder given",
        default=False)
    sources_folder: StringProperty(name="Folder", subtype="DIR_PATH",
                                   description="Where the SMD files and dec.qc are kept")

    def draw(self, context):
        layout = self.layout
        layout.prop(self, "animations")
        layout.prop(self, "lower_lods")
        layout.prop(self, "keep_sources")
        row = layout.row()
        row.enabled = self.keep_sources
        row.prop(self, "sources_folder")

    def session(self, context):
        """The session for this call, or None after an error report."""
        try:
            tool_path = _tool_path(context)
        except tool.ToolMissing as missing:
            self.report({"ERROR"}, str(missing))
            return None
        folder = ""
        if self.keep_sources:
            folder = bpy.path.abspath(self.sources_folder) if self.sources_folder else ""
            if not folder or not os.path.isdir(folder):
                self.report({"ERROR"}, "Choose an existing folder for the SMD files and dec.qc")
                return None
        return importing.Session(tool_path, importing.Options(self.animations, self.lower_lods, folder))

    def finish(self, session, total, stopped=False):
        for level, text in session.messages:
            self.report({level}, text)
        if session.imported == 0 and not stopped:
            self.report({"ERROR"}, "No model imported")
            return {"CANCELLED"}
        summary = "Imported %d of %d models" % (session.imported, total)
        if stopped:
            summary += "; stopped"
        self.report({"WARNING"} if session.failed or stopped else {"INFO"}, summary)
        return {"FINISHED"}


class IMPORT_SCENE_OT_tamberlo_model(bpy.types.Operator, ImportHelper, _ModelOptions):
    """Import compiled models (.mdl with the .dx80.vtx beside) with tamberlo"""
    bl_idname = "import_scene.tamberlo_model"
    bl_label = "Import Compiled Model"
    bl_options = {"REGISTER", "UNDO"}

    filename_ext = ".mdl"
    filter_glob: StringProperty(default="*.mdl", options={"HIDDEN"})
    files: CollectionProperty(type=bpy.types.OperatorFileListElement, options={"HIDDEN", "SKIP_SAVE"})
    directory: StringProperty(subtype="DIR_PATH", options={"HIDDEN", "SKIP_SAVE"})

    def execute(self, context):
        session = self.session(context)
        if session is None:
            return {"CANCELLED"}
        names = [f.name for f in self.files if f.name]
        paths = [os.path.join(self.directory, n) for n in names] if names else [self.filepath]
        for path in paths:
            session.import_model(context, path, context.collection)
        return self.finish(session, len(paths))


class FolderImport:
    """The models of a folder tree imported one per step, each into a
    collection of its own inside one named after the folder."""

    def __init__(self, context, folder, session):
        self.folder = os.path.normpath(folder)
        self.session = session
        self.models, lacking = folder_walk.find_models(self.folder)
        for path in lacking:
            session.say(os.path.relpath(path, self.folder), ["skipped: no strip file beside it"])
        self.done = 0
        self.collection = None
        if self.models:
            self.collection = scene.new_collection(os.path.basename(self.folder) or "models", context.collection)

    def step(self, context):
        """Imports the next model; returns whether one is left."""
        path = self.models[self.done]
        relative = os.path.relpath(os.path.dirname(path), self.folder)
        subfolder = "" if relative == "." else relative
        collection = scene.new_collection(tool.base_name(path), self.collection)
        if self.session.import_model(context, path, collection, subfolder) is None:
            bpy.data.collections.remove(collection)
        self.done += 1
        return self.done < len(self.models)


class IMPORT_SCENE_OT_tamberlo_folder(bpy.types.Operator, _ModelOptions):
    """Import every compiled model of a folder tree with tamberlo, each in a collection of its own (Esc stops)"""
    bl_idname = "import_scene.tamberlo_folder"
    bl_label = "Import Folder of Compiled Models"
    bl_options = {"REGISTER", "UNDO"}

    directory: StringProperty(subtype="DIR_PATH")
    filter_folder: BoolProperty(default=True, options={"HIDDEN"})

    def invoke(self, context, event):
        context.window_manager.fileselect_add(self)
        return {"RUNNING_MODAL"}

    def execute(self, context):
        session = self.session(context)
        if session is None:
            return {"CANCELLED"}
        folder = bpy.path.abspath(self.directory)
        if not os.path.isdir(folder):
            self.report({"ERROR"}, "Not a folder: %s" % folder)
            return {"CANCELLED"}
        self._job = FolderImport(context, folder, session)
        if not self._job.models:
            for level, text in session.messages:
                self.report({level}, text)
            self.report({"ERROR"}, "No compiled model (.mdl with its .dx80.vtx) in %s" % folder)
            return {"CANCELLED"}
        context.window_manager.progress_begin(0, len(self._job.models))
        if context.window is None or bpy.app.background:
            # No events to wait for (a script, or Blender without a window):
            # every model in this call.
            while self._step(context):
                pass
            return self._end(context, stopped=False)
        # With a window: one model per timer event, so that Esc is seen.
        self._timer = context.window_manager.event_timer_add(0.01, window=context.window)
        context.window_manager.modal_handler_add(self)
        return {"RUNNING_MODAL"}

    def _step(self, context):
        more = self._job.step(context)
        context.window_manager.progress_update(self._job.done)
        return more

    def modal(self, context, event):
        if event.type == "ESC":
            return self._end(context, stopped=True)
        if event.type == "TIMER":
            job = self._job
            if context.workspace is not None:
                context.workspace.status_text_set("Importing model %d of %d (Esc stops)" %
                                                  (job.done + 1, len(job.models)))
            if not self._step(context):
                return self._end(context, stopped=False)
        return {"RUNNING_MODAL"}

    def _end(self, context, stopped):
        window_manager = context.window_manager
        if getattr(self, "_timer", None) is not None:
            window_manager.event_timer_remove(self._timer)
            self._timer = None
            if context.workspace is not None:
                context.workspace.status_text_set(None)
        window_manager.progress_end()
        return self.finish(self._job.session, len(self._job.models), stopped)
