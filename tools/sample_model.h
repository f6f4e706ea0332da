// The bundled sample model and the fuzz seed models, described with the test builder.
#pragma once

#include "builder/model_builder.h"

// A small but complete model: a three-bone arm, a body group with two
// sub-models (one of them empty), a box with two levels of detail, a short
// coded animation, hitboxes, an attachment, pose parameters and sequences.
tb::ModelDescription SampleModel(int32_t version = 37);
