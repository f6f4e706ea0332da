"""Finding and running the tamberlo tool; nothing here needs Blender."""
import os
import re
import shutil
import subprocess

# Where the add-on's preferences are, for the message about a missing tool.
PREFERENCES_PLACE = "Edit > Preferences > Add-ons > Tamberlo model import > Tool path"

# Model messages that tell progress; every other line a conversion prints is
# a problem or a note and is shown to the user.
_PROGRESS = ("Decompiled ", "Extracted ")
_LOD_FILE = re.compile(r"_lod([0-9]+)\.glb$")


class ToolMissing(Exception):
    pass


def find_tool(configured):
    """The tool to run: the configured path, else tamberlo on PATH."""
    if configured:
        path = os.path.abspath(os.path.expanduser(configured))
        if os.path.isfile(path) and os.access(path, os.X_OK):
            return path
        raise ToolMissing("The tool path %s is not an executable file; set it in %s" % (path, PREFERENCES_PLACE))
    found = shutil.which("tamberlo")
    if found:
        return found
    raise ToolMissing("tamberlo was not found on PATH; install it or set its path in %s" % PREFERENCES_PLACE)


def base_name(model_path):
    """The model's name: its file name without the extension."""
    name = os.path.basename(model_path)
    stem, extension = os.path.splitext(name)
    return stem if extension.lower() == ".mdl" else name


def problem_lines(stdout, stderr, temporary):
    """The lines worth showing: model messages other than progress, and the
    tool's problem lines, without pointers into the temporary folder (it is
    gone once the import is over; its streams.log holds what stdout held)."""
    lines = []
    for line in stdout.splitlines():
        if line and not line.startswith(_PROGRESS):
            lines.append(line)
    for line in stderr.splitlines():
        if not line:
            continue
        cut = line.find(": see " + temporary)
        lines.append(line[:cut] if cut >= 0 else line)
    return lines


class Conversion:
    """One model converted into a folder: its status, its problem lines and
    the .glb files found (the main one, and the lower levels by number)."""

    def __init__(self, status, problems, folder, name):
        self.status = status
        self.problems = problems
        self.folder = folder
        self.glb = None
        self.lods = []
        if folder is None:
            return
        main = os.path.join(folder, name + ".glb")
        if os.path.isfile(main):
            self.glb = main
        for entry in os.listdir(folder):
            match = _LOD_FILE.search(entry)
            if match and entry[:match.start()] == name:
                self.lods.append((int(match.group(1)), os.path.join(folder, entry)))
        self.lods.sort()


def convert(tool, model_path, temporary, keep_sources=False):
    """Runs the tool on one model into the folder `temporary` (which must be
    empty): -format gltf, or all when the SMD files and dec.qc are kept."""
    model_path = os.path.abspath(model_path)
    command = [tool, "convert", "--format", "all" if keep_sources else "gltf", "--out", temporary, "--", model_path]
    run = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True)
    stdout = run.stdout.decode("utf-8", "replace")
    stderr = run.stderr.decode("utf-8", "replace")
    problems = problem_lines(stdout, stderr, temporary)
    if run.returncode not in (0, 1) and not problems:
        problems.append("tamberlo ended with status %d" % run.returncode)
    # The tool writes each model into a folder of its own below --out.
    folders = [os.path.join(temporary, e) for e in sorted(os.listdir(temporary))]
    folders = [f for f in folders if os.path.isdir(f)]
    name = base_name(model_path)
    return Conversion(run.returncode, problems, folders[0] if folders else None, name)


def keep_sources(conversion, destination):
    """Copies what the conversion wrote, but the .glb files, into
    destination/<model folder name>; returns that folder."""
    target = os.path.join(destination, os.path.basename(conversion.folder))
    shutil.copytree(conversion.folder, target, dirs_exist_ok=True,
                    ignore=lambda folder, names: [n for n in names if n.endswith(".glb")])
    return target
