#!/usr/bin/env bash
# Runs the recipes of docs/large-trees.md, as written there, on a generated
# tree:
#
#   tests/batch/run_large_tree_recipes.sh TAMBERLO BATCH_TREE LARGE_TREES_MD
#
# The ```sh blocks of the page are taken as they stand: the GNU parallel and
# the xargs recipe each convert the tree one top folder per job, and must
# leave the very files one batch over the whole tree leaves (its report and
# index page aside, which are per part); the jq blocks merge the parts'
# reports, and must list the models and add up the counts as that one
# batch's report does.
#
# Exit status: 0 passed, 1 failed, 77 skipped because jq or GNU parallel is
# missing (1 instead when LARGE_TREE_RECIPES_REQUIRED is set, as in CI).
set -euo pipefail

if [[ $# -ne 3 ]]; then
  echo "usage: tests/batch/run_large_tree_recipes.sh TAMBERLO BATCH_TREE LARGE_TREES_MD" >&2
  exit 1
fi
TAMBERLO="$(realpath "$1")"
BATCH_TREE="$(realpath "$2")"
PAGE="$(realpath "$3")"

SKIP=77
if [[ -n "${LARGE_TREE_RECIPES_REQUIRED:-}" ]]; then SKIP=1; fi
for tool in jq parallel; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed (tools/setup-debian --tests installs it)"
    exit "$SKIP"
  fi
done

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# The page's ```sh blocks, one file each, their indent removed.
mkdir "$WORK/blocks"
awk -v dir="$WORK/blocks" '
  /^ *```sh *$/ { n++; indent = index($0, "`") - 1; file = sprintf("%s/%02d.sh", dir, n); inside = 1; next }
  inside && /^ *``` *$/ { inside = 0; close(file); next }
  inside { print substr($0, indent + 1) > file }' "$PAGE"
block() {  # block WORD: the one block whose text holds WORD
  local found
  found=$(grep -l -- "$1" "$WORK"/blocks/*.sh || true)
  if [[ $(wc -w <<<"$found") -ne 1 ]]; then
    echo "FAILED: not one \`\`\`sh block of $PAGE holds \"$1\": ${found:-none}" >&2
    exit 1
  fi
  echo "$found"
}
PARALLEL_RECIPE=$(block 'parallel -0')
XARGS_RECIPE=$(block 'xargs -0')
MERGE_MODELS=$(block 'all-models.json')
MERGE_SUMMARY=$(block 'summary.json')

# The recipes call `tamberlo` by name.
mkdir "$WORK/bin"
ln -s "$TAMBERLO" "$WORK/bin/tamberlo"
export PATH="$WORK/bin:$PATH"
cd "$WORK"

# Three top folders of ten models each, one of them with a name that holds a
# space and a quote; one model with a damaged strip file.
"$BATCH_TREE" models 30
mv models/group2 "models/group 2 'q'"
head -c 64 models/group1/model11.dx80.vtx > cut && mv cut models/group1/model11.dx80.vtx

# One batch over the whole tree, into the folder name the recipes use, then
# set aside: dec.qc names its absolute output folder, which is then the same.
status=0
tamberlo -batch models -out out -jobs 2 -quiet > /dev/null || status=$?
[[ $status -eq 2 ]] || fail "the whole-tree batch ended with status $status, not 2"
mv out whole

check_parts() {  # check_parts NAME: out/ against whole/, and the merged reports
  local name="$1"
  if ! diff -r -x report.json -x index.html whole out > "$WORK/diff.txt"; then
    fail "$name: the parts differ from the whole-tree batch:"
    head -20 "$WORK/diff.txt"
  fi
  for part in group0 group1 "group 2 'q'"; do
    [[ -f "out/$part/report.json" && -f "out/$part/index.html" ]] || fail "$name: no report or page in out/$part"
  done
  rm -f all-models.json summary.json
  bash -e "$MERGE_MODELS" || fail "$name: the models merge failed"
  bash -e "$MERGE_SUMMARY" || fail "$name: the summary merge failed"
  local keys='[.[] | {input, output, status, exitStatus, counts, files}] | sort_by(.output)'
  if [[ "$(jq -c "$keys" all-models.json)" != "$(jq -c ".models | $keys" whole/report.json)" ]]; then
    fail "$name: all-models.json does not list the models of the whole-tree report"
  fi
  local counts='{models, converted, withErrors, notStarted, interrupted}'
  if [[ "$(jq -c "$counts" summary.json)" != "$(jq -c ".summary | $counts" whole/report.json)" ]]; then
    fail "$name: summary.json $(jq -c . summary.json) is not the whole-tree summary"
  fi
  [[ "$(jq '.models' summary.json)" -eq 30 && "$(jq '.withErrors' summary.json)" -eq 1 ]] ||
    fail "$name: summary.json does not count 30 models, 1 with errors"
}

# Each recipe ends with the failing part's status: parallel counts the failed
# jobs (1), xargs says 123 when a command failed.
status=0
bash -e "$PARALLEL_RECIPE" || status=$?
[[ $status -eq 1 ]] || fail "parallel: status $status, not 1 (one part with errors)"
for part in group0 group1 "group 2 'q'"; do
  [[ -f "logs/$part.txt" ]] || fail "parallel: no logs/$part.txt"
done
check_parts parallel

rm -rf out logs all-models.json summary.json
status=0
bash -e "$XARGS_RECIPE" || status=$?
[[ $status -eq 123 ]] || fail "xargs: status $status, not 123 (one part with errors)"
check_parts xargs

if (( failures > 0 )); then exit 1; fi
echo "large-tree recipes: parallel and xargs give the whole-tree files; the merged reports match"
