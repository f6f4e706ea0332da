"""The animations a .glb holds, read from its JSON chunk: their names, and
for the clips whose rate the file shows, frames and frames per second."""
import json
import struct


class Clip:
    def __init__(self, name, frames, fps):
        self.name = name
        self.frames = frames  # None where the file does not show the rate
        self.fps = fps


def read_json(path):
    """The JSON chunk of a binary glTF file."""
    with open(path, "rb") as f:
        header = f.read(20)
        if len(header) < 20:
            raise ValueError("%s: too short for a binary glTF file" % path)
        magic, _, _, length, kind = struct.unpack("<4sIIII", header)
        if magic != b"glTF" or kind != 0x4E4F534A:
            raise ValueError("%s: not a binary glTF file" % path)
        return json.loads(f.read(length))


def clips(path):
    """One Clip per animation, in the file's order. The keys of an animation
    are its frames at frame / fps seconds; a channel whose value changes has a
    key per frame, one that holds has two (first and last frame), so the rate
    shows only where a time accessor has more than two keys."""
    document = read_json(path)
    accessors = document.get("accessors", [])
    found = []
    for animation in document.get("animations", []):
        keys, last = 0, 0.0
        for sampler in animation.get("samplers", []):
            accessor = accessors[sampler["input"]]
            if accessor["count"] > keys:
                keys, last = accessor["count"], accessor["max"][0]
        if keys > 2 and last > 0:
            found.append(Clip(animation.get("name", ""), keys, (keys - 1) / last))
        else:
            found.append(Clip(animation.get("name", ""), None, None))
    return found


def scene_rate(fps):
    """Blender's fps and fps_base for a rate (fps / fps_base): the rate's
    nearest whole number from 1 to 120 Blender takes, over a base where the
    rate is not that number to a thousandth."""
    whole = min(120, max(1, round(fps)))
    if abs(fps - whole) < 1e-3 * whole:
        return whole, 1.0
    return whole, whole / fps
