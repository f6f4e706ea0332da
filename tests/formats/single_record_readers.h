// Record readers that only the tests use: one strip, one index entry, one
// strip vertex, one model vertex at a time. The writers validate whole spans
// instead (model/mesh_plan.cpp); these read field by field from the same
// layout constants, to check the files the test builder makes.
#pragma once

#include "formats/model_records.h"
#include "formats/strip_records.h"

struct Strip {
  int64_t at = 0;
  int32_t indexCount = 0;
  int32_t firstIndex = 0;  // in entries, not bytes
};

struct Vertex {
  int16_t bone = 0;  // 0 where the family stores no bone
  Vector3 position, normal;
  float u = 0, v = 0;
};

Strip ReadStrip(const StripFile& strip, const StripGroup& group, int32_t index);
// Entry t of the group's index array (a position in its StripVertex array).
uint16_t ReadStripIndex(const StripFile& strip, const StripGroup& group, int64_t t);
// meshVertexIndex of StripVertex v of the group, sign-extended.
int16_t ReadStripVertexIndex(const StripFile& strip, const StripGroup& group, int64_t v);
// Vertex n of the sub-model, in the family's storage.
Vertex ReadVertex(const ModelFile& model, const ModelRecord& subModel, int32_t n);
