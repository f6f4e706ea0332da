"""One model at a time: run the tool into a temporary folder, import what it
wrote, gather its lines for the operator's reports."""
import os
import tempfile

from . import glb_info
from . import scene
from . import tool

# The most lines shown per model; a damaged model can have many.
MOST_LINES = 10


class Options:
    def __init__(self, animations="ALL", lods=False, sources_folder=""):
        self.animations = animations  # "ALL" or "NONE"
        self.lods = lods
        self.sources_folder = sources_folder  # "" when the SMD files are not kept


class Session:
    """The models of one operator call. The scene's frame rate and range
    follow the first animation of the first model imported that has one."""

    def __init__(self, tool_path, options):
        self.tool_path = tool_path
        self.options = options
        self.messages = []  # (report type, text)
        self.imported = 0
        self.failed = 0
        self.range_set = False

    def say(self, label, lines):
        for line in lines[:MOST_LINES]:
            self.messages.append(("WARNING", "%s: %s" % (label, line)))
        if len(lines) > MOST_LINES:
            self.messages.append(("WARNING", "%s: %d more lines" % (label, len(lines) - MOST_LINES)))

    def import_model(self, context, path, collection, sources_subfolder=""):
        """Converts and imports the model file `path` into `collection`;
        returns the scene.ImportedModel, or None when nothing was imported."""
        label = os.path.basename(path)
        try:
            with tempfile.TemporaryDirectory(prefix="tamberlo-") as temporary:
                imported = self._convert_and_import(context, path, label, temporary, collection, sources_subfolder)
        except Exception as error:  # one model's failure ends no import of many
            self.say(label, ["not imported: %s: %s" % (type(error).__name__, error)])
            imported = None
        if imported is None:
            self.failed += 1
        else:
            self.imported += 1
        return imported

    def _convert_and_import(self, context, path, label, temporary, collection, sources_subfolder):
        options = self.options
        conversion = tool.convert(self.tool_path, path, temporary, keep_sources=bool(options.sources_folder))
        self.say(label, conversion.problems)
        if options.sources_folder and conversion.folder is not None:
            tool.keep_sources(conversion, os.path.join(options.sources_folder, sources_subfolder))
        if conversion.glb is None:
            self.say(label, ["nothing to import: tamberlo wrote no .glb"])
            return None
        clips = glb_info.clips(conversion.glb)
        take_rate = not self.range_set and options.animations == "ALL"
        if take_rate:
            scene.use_first_clip_rate(context.scene, clips)
        imported = scene.import_model(context, tool.base_name(path), conversion.glb, clips,
                                      conversion.lods if options.lods else [], collection, options.animations)
        if take_rate and imported.first_action is not None:
            scene.set_frame_range(context.scene, imported.first_action)
            self.range_set = True
        return imported
