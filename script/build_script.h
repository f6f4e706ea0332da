// The build script dec.qc.
#pragma once

#include "model/conversion.h"

// Writes dec.qc into the conversion's output folder. Returns 1 when the script was
// written; 0 when it could not be created, when bad data abandoned it (one
// "Bad data" line logged, no dec.qc left behind) or when writing it failed.
int WriteBuildScript(Conversion& conv);
// Appends the "$lod" blocks of every sub-model with geometry. Returns 1; on
// bad data it logs one "Bad data" line and returns 0, and the caller abandons
// the script, since a script missing some of its levels would look complete.
int WriteLodBlock(Conversion& conv, OutputFile& out);
