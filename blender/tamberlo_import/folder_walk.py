"""The models of a folder tree, in the order the tool's batch walks it."""
import os


def find_models(folder):
    """Every .mdl file (any letter case) below `folder` with its strip file
    <base>.dx80.vtx beside it, and the .mdl files without one; each sorted by
    path. Folder links are not entered."""
    models, lacking = [], []
    for top, folders, files in os.walk(folder):
        folders.sort()
        for name in sorted(files):
            stem, extension = os.path.splitext(name)
            if extension.lower() != ".mdl" or not stem:
                continue
            path = os.path.join(top, name)
            if not os.path.isfile(path):
                continue
            strip = os.path.join(top, stem + ".dx80.vtx")
            (models if os.path.isfile(strip) else lacking).append(path)
    return models, lacking
