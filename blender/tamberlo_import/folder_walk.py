"""The models of a folder tree, in the order the tool's batch walks it: the
entries of each folder sorted by name, folders entered where they sort."""
import os


def find_models(folder):
    """Every .mdl file (any letter case) below `folder` with its strip file
    <base>.dx80.vtx beside it, and the .mdl files without one. Folder links
    are not entered."""
    models, lacking = [], []
    _walk(folder, models, lacking)
    return models, lacking


def _walk(folder, models, lacking):
    try:
        entries = sorted(os.scandir(folder), key=lambda e: e.name)
    except OSError:
        return
    for entry in entries:
        if entry.is_dir(follow_symlinks=False):
            _walk(entry.path, models, lacking)
            continue
        stem, extension = os.path.splitext(entry.name)
        if extension.lower() != ".mdl" or not stem or not entry.is_file():
            continue
        strip = os.path.join(folder, stem + ".dx80.vtx")
        (models if os.path.isfile(strip) else lacking).append(entry.path)
