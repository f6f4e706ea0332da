# The add-on's parts that need no Blender, with plain Python:
#   python3 tests/blender/addon_helpers_test.py
import ast
import json
import os
import re
import stat
import struct
import sys
import tempfile
import unittest

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
ADDON = os.path.join(SOURCE, "blender", "tamberlo_import")
sys.path.insert(0, ADDON)
import folder_walk  # noqa: E402
import glb_info  # noqa: E402
import tool  # noqa: E402


def write_glb(path, document):
    text = json.dumps(document).encode()
    text += b" " * (-len(text) % 4)
    with open(path, "wb") as f:
        f.write(struct.pack("<4sIIII", b"glTF", 2, 20 + len(text), len(text), 0x4E4F534A) + text)


class ConsoleLines(unittest.TestCase):
    def test_progress_dropped_problems_kept_temporary_pointer_cut(self):
        stdout = ("Decompiled 37 mode\nExtracted body: arm\nBad data: glb mesh \"arm\": m.mdl: vertex record\n"
                  "Name changed: \"a\\x01\" -> \"a_\"\n")
        stderr = "tamberlo: converted with errors: /m/m.mdl: see /tmp/t1/m/streams.log\ntamberlo: cannot read: x: gone\n"
        self.assertEqual(tool.problem_lines(stdout, stderr, "/tmp/t1"), [
            "Bad data: glb mesh \"arm\": m.mdl: vertex record", "Name changed: \"a\\x01\" -> \"a_\"",
            "tamberlo: converted with errors: /m/m.mdl", "tamberlo: cannot read: x: gone"])


class ConvertedFiles(unittest.TestCase):
    def test_main_file_and_levels_in_number_order(self):
        with tempfile.TemporaryDirectory() as folder:
            for name in ("car.glb", "car_lod10.glb", "car_lod2.glb", "car_lod1.glb", "car_lodx.glb",
                         "other_lod1.glb", "streams.log"):
                open(os.path.join(folder, name), "w").close()
            found = tool.Conversion(1, [], folder, "car")
            self.assertEqual(found.glb, os.path.join(folder, "car.glb"))
            self.assertEqual([level for level, _ in found.lods], [1, 2, 10])
            self.assertIsNone(tool.Conversion(1, [], folder, "bus").glb)

    def test_model_names(self):
        self.assertEqual([tool.base_name(p) for p in ("a/Car.MDL", "car.mdl", "x.y.mdl")], ["Car", "car", "x.y"])


class FindingTheTool(unittest.TestCase):
    def test_configured_path_then_path(self):
        with tempfile.TemporaryDirectory() as folder:
            program = os.path.join(folder, "tamberlo")
            with open(program, "w") as f:
                f.write("#!/bin/sh\n")
            with self.assertRaisesRegex(tool.ToolMissing, "not an executable.*Preferences"):
                tool.find_tool(program)
            os.chmod(program, stat.S_IRWXU)
            self.assertEqual(tool.find_tool(program), program)
            saved = os.environ["PATH"]
            try:
                os.environ["PATH"] = folder
                self.assertEqual(tool.find_tool(""), program)
                os.environ["PATH"] = os.path.join(folder, "none")
                with self.assertRaisesRegex(tool.ToolMissing, "not found on PATH.*Preferences"):
                    tool.find_tool("")
            finally:
                os.environ["PATH"] = saved


class Clips(unittest.TestCase):
    def test_rate_from_the_accessor_with_a_key_per_frame(self):
        accessors = [{"count": 2, "max": [19 / 24]}, {"count": 20, "max": [19 / 24]}, {"count": 2, "max": [0.5]}]
        animations = [{"name": "walk", "samplers": [{"input": 0}, {"input": 1}]},
                      {"name": "hold", "samplers": [{"input": 2}]}]
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "m.glb")
            write_glb(path, {"accessors": accessors, "animations": animations})
            walk, hold = glb_info.clips(path)
            self.assertEqual((walk.name, walk.frames), ("walk", 20))
            self.assertAlmostEqual(walk.fps, 24, places=6)
            self.assertEqual((hold.name, hold.frames, hold.fps), ("hold", None, None))
            with open(path, "wb") as f:
                f.write(b"PK\x03\x04" + bytes(40))
            self.assertRaises(ValueError, glb_info.clips, path)

    def test_scene_rates_blender_takes(self):
        self.assertEqual(glb_info.scene_rate(30.00001), (30, 1.0))
        fps, base = glb_info.scene_rate(29.97)
        self.assertEqual(fps, 30)
        self.assertAlmostEqual(fps / base, 29.97)
        self.assertEqual(glb_info.scene_rate(1000)[0], 120)
        self.assertAlmostEqual(120 / glb_info.scene_rate(1000)[1], 1000)
        self.assertEqual(glb_info.scene_rate(0.5), (1, 2.0))


class FolderWalk(unittest.TestCase):
    def test_models_with_strip_files_in_walk_order(self):
        with tempfile.TemporaryDirectory() as root:
            tree = os.path.join(root, "tree")
            for name in ("b/m.mdl", "b/m.dx80.vtx", "a.MDL", "a.dx80.vtx", "c.mdl", "lonely.mdl", "c.dx80.vtx",
                         "notes.txt", ".mdl"):
                os.makedirs(os.path.dirname(os.path.join(tree, name)), exist_ok=True)
                open(os.path.join(tree, name), "w").close()
            os.makedirs(os.path.join(root, "elsewhere"))
            open(os.path.join(root, "elsewhere", "x.mdl"), "w").close()
            open(os.path.join(root, "elsewhere", "x.dx80.vtx"), "w").close()
            os.symlink(os.path.join(root, "elsewhere"), os.path.join(tree, "link"))
            models, lacking = folder_walk.find_models(tree)
            self.assertEqual([os.path.relpath(p, tree) for p in models], ["a.MDL", "b/m.mdl", "c.mdl"])
            self.assertEqual([os.path.relpath(p, tree) for p in lacking], ["lonely.mdl"])


class Versions(unittest.TestCase):
    def test_add_on_manifest_and_project_agree(self):
        with open(os.path.join(ADDON, "__init__.py")) as f:
            tree = ast.parse(f.read())
        info = next(ast.literal_eval(node.value) for node in tree.body
                    if isinstance(node, ast.Assign) and node.targets[0].id == "bl_info")
        with open(os.path.join(ADDON, "blender_manifest.toml")) as f:
            manifest = re.search(r'^version = "([0-9.]+)"', f.read(), re.M).group(1)
        with open(os.path.join(SOURCE, "CMakeLists.txt")) as f:
            project = re.search(r"project\(tamberlo VERSION ([0-9.]+)", f.read()).group(1)
        self.assertEqual(".".join(map(str, info["version"])), project)
        self.assertEqual(manifest, project)


if __name__ == "__main__":
    unittest.main()
