#!/usr/bin/env bash
# Installs the Blender add-on from the zip the build made into a fresh
# profile and imports models through its operators, headless
# (tests/blender/addon_check.py says what is checked):
#
#   tests/blender/run_addon_check.sh BUILD_DIR [PICTURE.png]
#
# Writes into BUILD_DIR/addon-check the bundled sample, 12 generated models of
# each version family (28-30, 31-36, 37) in a folder per family, a model
# without its strip file and a damaged one (its strip file cut short); takes
# the expected counts from a -batch report of the same models; runs one
# Blender with TMPDIR pointing at an empty folder that must be empty again
# afterwards. The Workbench picture of the imported sample goes to
# BUILD_DIR/addon-check/blender-import.png, or to PICTURE.png.
#
# Exit status: 0 passed, 1 failed, 77 skipped (see blender_env.sh).
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 ]]; then
  echo "usage: tests/blender/run_addon_check.sh BUILD_DIR [PICTURE.png]" >&2
  exit 1
fi
SOURCE_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD_DIR="$(cd "$1" && pwd)"
OUT="$BUILD_DIR/addon-check"
PICTURE="$(realpath -m "${2:-$OUT/blender-import.png}")"
source "$SOURCE_DIR/tests/blender/blender_env.sh"

echo "== building tamberlo, make_sample, bench_model and the add-on"
cmake --build "$BUILD_DIR" --target tamberlo make_sample bench_model blender_addon -- -j2 >/dev/null
version=$(sed -n 's/^project(tamberlo VERSION \([0-9.]*\).*/\1/p' "$SOURCE_DIR/CMakeLists.txt")
ZIP="$BUILD_DIR/tamberlo_blender_addon-$version.zip"

rm -rf "$OUT"
mkdir -p "$OUT/models" "$OUT/damaged" "$OUT/tmp" "$OUT/config" "$OUT/scripts" "$OUT/kept"
"$BUILD_DIR/tools/make_sample" "$OUT/models" >/dev/null
# A line per model: its path, its levels of detail, then the frames and frames
# per second of each animation.
printf '%s\n' "$OUT/models/sample.mdl 2 6 24 2 30" >"$OUT/clips.txt"
generate() {  # folder name version bones anims frames lods triangles sub-models
  "$BUILD_DIR/bench/bench_model" "$1" "$2" --version "$3" --bones "$4" --anims "$5" --frames "$6" \
    --lods "$7" --triangles "$8" --submodels "$9" >/dev/null
  local line="$1/$2.mdl $7"
  for ((a = 0; a < $5; a++)); do line+=" $6 30"; done
  echo "$line" >>"$OUT/clips.txt"
}
for family in 28-30 31-36 37; do
  case "$family" in
    28-30) versions=(28 29 30) ;;
    31-36) versions=(31 32 33 34 35 36) ;;
    37) versions=(37) ;;
  esac
  mkdir -p "$OUT/models/$family"
  for ((i = 0; i < 12; i++)); do
    v=${versions[$((i % ${#versions[@]}))]}
    generate "$OUT/models/$family" "m$i-v$v" "$v" $((1 + i % 7 * 2)) $((i % 3)) $((3 + i * 3)) $((1 + i % 3)) \
      $((40 + i * 30)) $((1 + i % 2))
  done
done
# A model file without its strip file: the folder import skips it.
cp "$OUT/models/37/m0-v37.mdl" "$OUT/models/37/lonely.mdl"
generate "$OUT/damaged" cut 37 3 1 5 2 100 1
generate "$OUT/damaged" whole 37 3 1 5 2 100 1
truncate -s 200 "$OUT/damaged/cut.dx80.vtx"

echo "== expected counts"
status=0
"$BUILD_DIR/tamberlo" -batch "$OUT/models" -out "$OUT/reference" -quiet >/dev/null || status=$?
# The lonely model is the batch's one failure.
if [[ $status -ne 2 ]]; then
  echo "the reference batch ended with status $status"
  exit 1
fi
/usr/bin/python3 - "$OUT" <<'PY'
import json, os, sys
out = sys.argv[1]
clips = {}
for line in open(os.path.join(out, "clips.txt")):
    path, lods, *numbers = line.split()
    clips[path] = (int(lods), [[int(numbers[i]), float(numbers[i + 1])] for i in range(0, len(numbers), 2)])
report = json.load(open(os.path.join(out, "reference", "report.json")))
models = []
for entry in report["models"]:
    if entry["input"] in clips:
        counts = entry["counts"]
        lods, model_clips = clips[entry["input"]]
        models.append({"path": entry["input"], "bones": counts["bones"], "triangles": counts["lodZeroTriangles"],
                       "clips": model_clips, "lods": lods})
        assert len(models[-1]["clips"]) == counts["animations"], entry["input"]
json.dump(models, open(os.path.join(out, "expected.json"), "w"), indent=1)
print("%d models to import" % len(models))
PY

echo "== importing in blender"
status=0
TMPDIR="$OUT/tmp" BLENDER_USER_CONFIG="$OUT/config" BLENDER_USER_SCRIPTS="$OUT/scripts" \
  blender -b --factory-startup --python-exit-code 1 --python "$SOURCE_DIR/tests/blender/addon_check.py" -- \
  "$ZIP" "$BUILD_DIR/tamberlo" "$OUT" "$PICTURE" >"$OUT/blender.log" 2>&1 || status=$?
grep -e "^ok " -e "^FAIL " -e "passed, " -e "Traceback" "$OUT/blender.log" || true
failed=0
if [[ -n "$(ls -A "$OUT/tmp")" ]]; then
  echo "FAIL the temporary folder is not empty: $(ls -A "$OUT/tmp" | head -5 | tr '\n' ' ')"
  failed=1
else
  echo "ok   the temporary folder is empty"
fi
if [[ $status -ne 0 ]]; then
  echo "blender ended with status $status; its output: $OUT/blender.log"
  failed=1
fi
exit "$failed"
