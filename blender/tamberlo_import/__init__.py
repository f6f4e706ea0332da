"""Opens compiled models (NAME.mdl with NAME.dx80.vtx) in Blender: the
tamberlo tool converts them into a temporary folder, and Blender's own glTF
importer reads the .glb it writes."""

bl_info = {
    "name": "Tamberlo model import",
    "author": "Tamberlo developers",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "File > Import > Compiled model (.mdl), Folder of compiled models",
    "description": "Imports compiled models (.mdl with .dx80.vtx) by running the tamberlo tool",
    "category": "Import-Export",
}

import bpy  # noqa: E402
from bpy.props import StringProperty  # noqa: E402

from . import operators  # noqa: E402
from . import tool  # noqa: E402
from .scene import ActionNaming as glTF2ImportUserExtension  # noqa: E402,F401


class TamberloPreferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    tool_path: StringProperty(
        name="Tool path",
        description="The tamberlo program; empty: tamberlo found on PATH",
        subtype="FILE_PATH")

    def draw(self, context):
        layout = self.layout
        layout.prop(self, "tool_path")
        try:
            layout.label(text="Runs: %s" % tool.find_tool(bpy.path.abspath(self.tool_path)))
        except tool.ToolMissing as missing:
            layout.label(text=str(missing), icon="ERROR")


def menu_import(self, context):
    self.layout.operator(operators.IMPORT_SCENE_OT_tamberlo_model.bl_idname, text="Compiled model (.mdl)")
    self.layout.operator(operators.IMPORT_SCENE_OT_tamberlo_folder.bl_idname, text="Folder of compiled models")


_classes = (TamberloPreferences, operators.IMPORT_SCENE_OT_tamberlo_model, operators.IMPORT_SCENE_OT_tamberlo_folder)


def register():
    for cls in _classes:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)


def unregister():
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    for cls in reversed(_classes):
        bpy.utils.unregister_class(cls)
