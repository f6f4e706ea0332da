#!/usr/bin/env bash
# Runs a real batch over a small tree, bad and oddly named models among good
# ones, and checks its index.html with check_index.py:
#
#   tests/batch/run_index_check.sh TAMBERLO BATCH_TREE PYTHON3
#
# TAMBERLO is the tool, BATCH_TREE the bench program that writes a tree of
# models, PYTHON3 an interpreter with html5lib (Debian: python3-html5lib).
#
# Exit status: 0 the page passed, 1 it did not (or a step failed), 77 skipped
# because PYTHON3 is missing or has no html5lib (1 instead when
# BATCH_INDEX_CHECK_REQUIRED is set, as in CI).
set -euo pipefail

if [[ $# -ne 3 ]]; then
  echo "usage: tests/batch/run_index_check.sh TAMBERLO BATCH_TREE PYTHON3" >&2
  exit 1
fi
TAMBERLO="$1"
BATCH_TREE="$2"
PYTHON3="$3"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

SKIP=77
if [[ -n "${BATCH_INDEX_CHECK_REQUIRED:-}" ]]; then SKIP=1; fi
if [[ -z "$PYTHON3" || ! -x "$PYTHON3" ]] || ! "$PYTHON3" -c "import html5lib" 2>/dev/null; then
  echo "SKIPPED: no python3 with html5lib (${PYTHON3:-none})"
  exit "$SKIP"
fi

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
"$BATCH_TREE" "$WORK/in" 12

# Failures of every kind the walk and the run tell apart: damaged data, a
# missing strip file, a collision in letter case, a model whose output folder
# would be the page itself.
head -c 500 "$WORK/in/group0/model1.mdl" > "$WORK/in/group0/cut.mdl"
cp "$WORK/in/group0/model1.dx80.vtx" "$WORK/in/group0/cut.dx80.vtx"
cp "$WORK/in/group0/model2.mdl" "$WORK/in/group0/nostrip.mdl"
cp "$WORK/in/group0/model3.mdl" "$WORK/in/group0/Model3.mdl"
cp "$WORK/in/group0/model3.dx80.vtx" "$WORK/in/group0/Model3.dx80.vtx"
cp "$WORK/in/group0/model4.mdl" "$WORK/in/index.html.mdl"
cp "$WORK/in/group0/model4.dx80.vtx" "$WORK/in/index.html.dx80.vtx"
# A converted model whose name holds what HTML and URLs treat specially, and
# bytes that are not UTF-8.
odd=$'we<i>rd & "q" \'a\' %41 #x ?y \xff\xfe'
mkdir -p "$WORK/in/$odd"
cp "$WORK/in/group0/model5.mdl" "$WORK/in/$odd/$odd.mdl"
cp "$WORK/in/group0/model5.dx80.vtx" "$WORK/in/$odd/$odd.dx80.vtx"

status=0
"$TAMBERLO" -batch "$WORK/in" -out "$WORK/out" -quiet -jobs 2 -format all -preview-size 64 > "$WORK/console.txt" || status=$?
if [[ $status -ne 2 ]]; then
  echo "the batch ended with status $status, not 2:"
  cat "$WORK/console.txt"
  exit 1
fi
"$PYTHON3" "$HERE/check_index.py" "$WORK/out"
