// The build script dec.qc.
#pragma once

#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "driver/text_output.h"

// Writes dec.qc into the current directory; returns 1.
int WriteBuildScript(const ModelFile& model, const StripFile& strip);
// Appends the "$lod" blocks of every sub-model with geometry; returns 1.
int WriteLodBlock(const ModelFile& model, const StripFile& strip, OutputFile& out);
