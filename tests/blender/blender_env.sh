# Sourced by the Blender checks: Debian's blender (which runs on Debian's
# python3 and numpy) first on PATH, and an exit with status 77 (skipped; 1
# when BLENDER_CHECK_REQUIRED is set, as in CI) when blender or its numpy is
# missing.
export PATH="/usr/bin:$PATH"
blender_skip=77
if [[ -n "${BLENDER_CHECK_REQUIRED:-}" ]]; then blender_skip=1; fi
if ! command -v blender >/dev/null 2>&1; then
  echo "SKIPPED: blender is not installed (Debian: apt-get install blender python3-numpy)"
  exit "$blender_skip"
fi
if ! /usr/bin/python3 -c "import numpy" >/dev/null 2>&1; then
  echo "SKIPPED: numpy for /usr/bin/python3 is missing (Debian: apt-get install python3-numpy)"
  exit "$blender_skip"
fi
