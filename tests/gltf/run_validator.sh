#!/usr/bin/env bash
# Checks the .glb writer's files with the Khronos glTF validator:
#
#   tests/gltf/run_validator.sh BUILD_DIR
#
# Builds make_glb (and bench_model) in BUILD_DIR, writes .glb files of the
# bundled sample, the test box and a generated model in all three version
# families, plus small benchmark models of every family, into
# BUILD_DIR/glb-validation (each with the files of its lower levels of
# detail), and validates each one; any error or warning
# fails. The validator is the npm package gltf-validator: taken from
# GLTF_VALIDATOR_MODULES (a node_modules folder holding it) when set, else
# from BUILD_DIR/npm, where it is installed with npm when missing.
#
# Exit status: 0 all valid, 1 a file has errors or warnings (or a step
# failed), 77 skipped because node or npm is not installed (1 instead when
# GLTF_VALIDATOR_REQUIRED is set, as in CI).
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: tests/gltf/run_validator.sh BUILD_DIR" >&2
  exit 1
fi
SOURCE_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD_DIR="$(cd "$1" && pwd)"
OUT="$BUILD_DIR/glb-validation"

SKIP=77
if [[ -n "${GLTF_VALIDATOR_REQUIRED:-}" ]]; then SKIP=1; fi
if ! command -v node >/dev/null 2>&1; then
  echo "SKIPPED: node is not installed"
  exit "$SKIP"
fi
MODULES="${GLTF_VALIDATOR_MODULES:-$BUILD_DIR/npm/node_modules}"
if [[ ! -f "$MODULES/gltf-validator/package.json" ]]; then
  if ! command -v npm >/dev/null 2>&1; then
    echo "SKIPPED: npm is not installed, and there is no gltf-validator in $MODULES"
    exit "$SKIP"
  fi
  echo "== installing gltf-validator into $BUILD_DIR/npm"
  npm install --prefix "$BUILD_DIR/npm" --no-audit --no-fund gltf-validator
  MODULES="$BUILD_DIR/npm/node_modules"
fi

echo "== building make_glb and bench_model"
cmake --build "$BUILD_DIR" --target make_glb bench_model -- -j2 >/dev/null

rm -rf "$OUT"
mkdir -p "$OUT/models"
"$BUILD_DIR/tools/make_glb" "$OUT"
# Small benchmark models: grids of several meshes, strips and levels of
# detail, every bone moving.
models=()
for version in 37 36 29; do
  "$BUILD_DIR/bench/bench_model" "$OUT/models" "bench-v$version" --version "$version" --bones 20 --anims 2 \
    --frames 30 --submodels 2 --lods 3 --triangles 3000 >/dev/null
  models+=("$OUT/models/bench-v$version")
done
"$BUILD_DIR/tools/make_glb" "$OUT" "${models[@]}"

echo "== validating"
NODE_PATH="$MODULES" node "$SOURCE_DIR/tests/gltf/validate_glb.js" "$OUT"/*.glb
