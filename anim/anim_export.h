// Animation SMD files: one per animation description.
#pragma once

#include "driver/text_output.h"
#include "formats/model_records.h"

// Calls ExportAnimation for every animation description; returns 1.
int ExportAnimations(const ModelFile& model);
// Writes "<name>.smd"; 1 when written, 0 when it could not be.
int ExportAnimation(const ModelFile& model, int32_t index);
// "version 1", the node list, "end", "skeleton"; returns 1.
int WriteAnimationHeader(const ModelFile& model, OutputFile& out);
