#!/usr/bin/env bash
# Imports the tool's .glb files in Blender, headless, with Blender's own glTF
# importer (tests/gltf/blender_check.py says what is checked):
#
#   tests/gltf/run_blender_check.sh BUILD_DIR
#
# Builds tamberlo, make_sample and bench_model in BUILD_DIR, writes the
# bundled sample and 20 generated models (two of every version from 28 to 37,
# so every family) into BUILD_DIR/blender-check, converts them in one batch
# with -format gltf and imports each main .glb, comparing with the counts of
# the batch's report.json.
#
# Exit status: 0 all passed, 1 a model failed (or a step failed), 77 skipped
# because blender (Debian's package) or its numpy is missing (1 instead when
# BLENDER_CHECK_REQUIRED is set, as in CI).
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: tests/gltf/run_blender_check.sh BUILD_DIR" >&2
  exit 1
fi
SOURCE_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD_DIR="$(cd "$1" && pwd)"
OUT="$BUILD_DIR/blender-check"
source "$SOURCE_DIR/tests/blender/blender_env.sh"

echo "== building tamberlo, make_sample and bench_model"
cmake --build "$BUILD_DIR" --target tamberlo make_sample bench_model -- -j2 >/dev/null

rm -rf "$OUT"
mkdir -p "$OUT/models"
"$BUILD_DIR/tools/make_sample" "$OUT/models" >/dev/null
# name frames animations: each model's clips, for their lengths (30 fps).
: >"$OUT/clips.txt"
for version in 28 29 30 31 32 33 34 35 36 37; do
  "$BUILD_DIR/bench/bench_model" "$OUT/models" "many-v$version" --version "$version" --bones 12 --anims 2 \
    --frames 20 --submodels 2 --lods 3 --triangles 400 >/dev/null
  echo "many-v$version 20 2" >>"$OUT/clips.txt"
  "$BUILD_DIR/bench/bench_model" "$OUT/models" "one-v$version" --version "$version" --bones 1 --anims 1 \
    --frames 5 --submodels 1 --lods 1 --triangles 50 >/dev/null
  echo "one-v$version 5 1" >>"$OUT/clips.txt"
done

echo "== converting"
status=0
"$BUILD_DIR/tamberlo" -batch "$OUT/models" -out "$OUT/out" -format gltf -quiet || status=$?
if [[ $status -ne 0 ]]; then
  echo "the batch ended with status $status"
  exit 1
fi

# The expectations: counts from the report, clip lengths for the generated
# models, and the box of the level-0 vertices as stored (the POSITION bounds
# of the main file's meshes: the model's own Z-up values, as the skinned
# meshes and a static model's meshes carry no transform below the top node).
/usr/bin/python3 - "$OUT" <<'PY'
import json, os, struct, sys
out = sys.argv[1]
clips = {}
with open(os.path.join(out, "clips.txt")) as f:
    for line in f:
        name, frames, anims = line.split()
        clips[name] = [(int(frames) - 1) / 30.0] * int(anims)
report = json.load(open(os.path.join(out, "out", "report.json")))
models = []
for entry in report["models"]:
    name = os.path.splitext(os.path.basename(entry["input"]))[0]
    glb = os.path.join(out, "out", entry["output"], name + ".glb")
    with open(glb, "rb") as f:
        data = f.read()
    length, = struct.unpack_from("<I", data, 12)
    document = json.loads(data[20:20 + length])
    low, high = [float("inf")] * 3, [float("-inf")] * 3
    for mesh in document["meshes"]:
        for primitive in mesh["primitives"]:
            accessor = document["accessors"][primitive["attributes"]["POSITION"]]
            low = [min(a, b) for a, b in zip(low, accessor["min"])]
            high = [max(a, b) for a, b in zip(high, accessor["max"])]
    counts = entry["counts"]
    models.append({"glb": glb, "bones": counts["bones"], "triangles": counts["lodZeroTriangles"],
                   "animations": counts["animations"], "seconds": clips.get(name), "box": [low, high]})
json.dump(models, open(os.path.join(out, "expected.json"), "w"), indent=1)
print("%d models to import" % len(models))
PY

echo "== importing in blender"
status=0
blender -b --factory-startup --python-exit-code 1 --python "$SOURCE_DIR/tests/gltf/blender_check.py" -- \
  "$OUT/expected.json" >"$OUT/blender.log" 2>&1 || status=$?
grep -e "^ok " -e "^FAIL " -e "passed, " -e "Error" -e "Traceback" "$OUT/blender.log" || true
if [[ $status -ne 0 ]]; then
  echo "blender ended with status $status; its output: $OUT/blender.log"
  exit 1
fi
