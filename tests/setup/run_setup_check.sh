#!/usr/bin/env bash
# Runs tools/setup-debian against stand-ins for apt-get, dpkg-query, id, sudo,
# node and npm, on a PATH that holds nothing else, and checks what it asks
# apt-get to install and the status it ends with:
#
#   tests/setup/run_setup_check.sh SETUP_SCRIPT
#
# The stand-in apt-get refuses a whole call that names a package listed in
# $WORK/broken (as apt does on a conflict or an unknown name), and otherwise
# records the packages as installed (nodejs also gives a node). Exit status: 0 passed, 1 failed.
set -euo pipefail

SETUP="$(realpath "$1")"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

BIN="$WORK/bin"
mkdir -p "$BIN"
for tool in bash grep sed cat tr sort env chmod; do ln -s "$(command -v "$tool")" "$BIN/$tool"; done
cat >"$BIN/apt-get" <<EOF
#!$BIN/bash
shift 2  # -o DPkg::Lock::Timeout=600
echo "\$*" >>"$WORK/apt-calls"
[[ \$1 == update ]] && exit 0
shift 3  # install -y --no-install-recommends
for p in "\$@"; do grep -qx "\$p" "$WORK/broken" && exit 100; done
for p in "\$@"; do echo "\$p" >>"$WORK/installed"; done
# Debian's nodejs brings node, and no npm.
if grep -qx nodejs <(printf '%s\n' "\$@"); then printf '#!%s\n' "$BIN/bash" >"$BIN/node"; chmod +x "$BIN/node"; fi
EOF
cat >"$BIN/dpkg-query" <<EOF
#!$BIN/bash
grep -qx "\${@: -1}" "$WORK/installed" && printf 'install ok installed'
grep -qx "\${@: -1}" "$WORK/pending" && printf 'install ok triggers-pending'
EOF
cat >"$BIN/sudo" <<EOF
#!$BIN/bash
echo sudo >>"$WORK/sudo-calls"
"\$@"
EOF
printf '#!%s\n%s\n' "$BIN/bash" 'echo "${FAKE_UID:-0}"' >"$BIN/id"
chmod +x "$BIN"/*

# One case: a fresh state, then the script with the given options.
# Sets $status, $out (both streams) and $calls (apt-get's command lines).
run() {
  : >"$WORK/apt-calls"
  : >"$WORK/sudo-calls"
  status=0
  out="$(PATH="$BIN" "$BIN/bash" "$SETUP" "$@" 2>&1)" || status=$?
  calls="$(cat "$WORK/apt-calls")"
}
fresh() {  # fresh [installed packages...]
  printf '%s\n' "$@" >"$WORK/installed"
  : >"$WORK/broken"
  : >"$WORK/pending"
  rm -f "$BIN/node" "$BIN/npm"
}
with_node() { printf '#!%s\n' "$BIN/bash" >"$BIN/node"; chmod +x "$BIN/node"; }
with_npm() { printf '#!%s\n' "$BIN/bash" >"$BIN/npm"; chmod +x "$BIN/npm"; }
is_installed() { grep -qx "$1" "$WORK/installed"; }
asked_for() { grep -qw -- "$1" <<<"$calls"; }

# Node.js that brings its own npm: npm is never asked for, everything else
# goes in with one call after one update.
fresh; with_node; with_npm
run --tests
[[ $status -eq 0 ]] || fail "node with npm: status $status: $out"
asked_for npm && fail "node with npm: npm was asked for: $calls"
asked_for nodejs && fail "node with npm: nodejs was asked for: $calls"
[[ "$(grep -c '^install' <<<"$calls")" -eq 1 ]] || fail "node with npm: not one install call: $calls"
for p in cmake ninja-build g++ nlohmann-json3-dev libpng-dev libgtest-dev jq parallel python3-html5lib; do
  is_installed "$p" || fail "node with npm: $p not installed"
done

# No Node.js: nodejs from Debian, then npm in a call of its own (a conflict
# there must not keep nodejs out).
fresh; echo npm >"$WORK/broken"
run --tests
[[ $status -eq 0 ]] || fail "no node: status $status: $out"
is_installed nodejs || fail "no node: nodejs not installed: $calls"
grep -qx 'install -y --no-install-recommends npm' <<<"$calls" || fail "no node: npm not asked for alone: $calls"
grep -q 'npm' <<<"$out" || fail "no node: the missing npm is not named: $out"
grep -q "not found" <<<"$out" && fail "no node: a command is missing from the test PATH: $out"

# One package apt refuses: the others still go in, one by one; an optional
# one leaves the status 0, a required one makes it 1.
fresh; with_node; with_npm; echo parallel >"$WORK/broken"
run --tests
[[ $status -eq 0 ]] || fail "optional refused: status $status: $out"
is_installed jq && is_installed cmake && is_installed libgtest-dev || fail "optional refused: the others are missing"
grep -q 'optional.*parallel' <<<"$out" || fail "optional refused: parallel is not named: $out"
fresh; with_node; with_npm; echo parallel >"$WORK/broken"
run --tests --strict
[[ $status -eq 1 ]] || fail "optional refused with --strict: status $status, not 1"
fresh; echo libpng-dev >"$WORK/broken"
run
[[ $status -eq 1 ]] || fail "required refused: status $status, not 1"
is_installed cmake && is_installed nlohmann-json3-dev || fail "required refused: the others are missing"
grep -q 'required.*libpng-dev' <<<"$out" || fail "required refused: libpng-dev is not named: $out"

# The tool alone asks for no test package; nothing missing means no apt-get.
fresh
run --required
asked_for libgtest-dev && fail "--required asked for a test package: $calls"
run --required
[[ $status -eq 0 && -z "$calls" ]] || fail "nothing missing: status $status, apt-get called: $calls"

# A package whose triggers wait for another install to end is installed.
fresh cmake ninja-build g++ nlohmann-json3-dev; echo libpng-dev >"$WORK/pending"
run --required
[[ $status -eq 0 && -z "$calls" ]] || fail "triggers pending: status $status, apt-get called: $calls"

# Not root: through sudo when there is one, else a clear refusal.
fresh
FAKE_UID=1000 run
[[ $status -eq 0 && -s "$WORK/sudo-calls" ]] || fail "not root: sudo not used (status $status): $out"
fresh
mv "$BIN/sudo" "$WORK/sudo.away"
FAKE_UID=1000 run
mv "$WORK/sudo.away" "$BIN/sudo"
[[ $status -eq 1 && -z "$calls" ]] || fail "not root without sudo: status $status, calls: $calls"

# --dry-run installs nothing and names what it would.
fresh; with_node
run --tests --dry-run
[[ $status -eq 0 && -z "$calls" ]] || fail "dry run: status $status, calls: $calls"
grep -q 'would install:.*cmake.*npm' <<<"$out" || fail "dry run: $out"
run --bogus
[[ $status -eq 2 ]] || fail "unknown option: status $status, not 2"

if (( failures > 0 )); then exit 1; fi
echo "setup-debian: all cases passed"
