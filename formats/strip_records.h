// Records of the strip file. They are packed (strides 8, 8, 12, 9, 25, 15 and
// 27 bytes), so fields lie at any alignment; every offset counts from the
// record that holds it, except the header's, which counts from the file start.
#pragma once

#include <cstdint>

#include "formats/byte_view.h"

constexpr int32_t kStripBodyPartSize = 8;
constexpr int32_t kStripModelSize = 8;
constexpr int32_t kStripLodSize = 12;
constexpr int32_t kStripMeshSize = 9;
constexpr int32_t kStripGroupSize = 25;
constexpr int32_t kStripVertexSize = 15;
constexpr int32_t kStripSize = 27;
constexpr int32_t kStripIndexSize = 2;
constexpr int32_t kMaxStripGroups = 5;
// Fields read in place by the triangle writer's unchecked loop.
constexpr int32_t kStripIndexCountAt = 0;   // Strip.indexCount
constexpr int32_t kStripFirstIndexAt = 4;   // Strip.firstIndex
constexpr int32_t kStripVertexIndexAt = 12;  // StripVertex.meshVertexIndex

struct StripFile {
  ByteView bytes;
};

struct StripBodyPart {
  int64_t at = 0;
  int32_t modelOffset = 0;
};
struct StripModel {
  int64_t at = 0;
  int32_t lodCount = 0, lodOffset = 0;
};
struct StripLod {
  int64_t at = 0;
  int32_t meshOffset = 0;
  float switchDistance = 0;
};
struct StripMesh {
  int64_t at = 0;
  int32_t groupCount = 0, groupOffset = 0;
};
struct StripGroup {
  int64_t at = 0;
  int32_t vertexOffset = 0;
  int32_t indexOffset = 0;
  int32_t stripCount = 0, stripOffset = 0;
};
StripBodyPart ReadStripBodyPart(const StripFile& strip, int32_t index);
StripModel ReadStripModel(const StripFile& strip, const StripBodyPart& bodyPart, int32_t index);
StripLod ReadStripLod(const StripFile& strip, const StripModel& model, int32_t index);
StripMesh ReadStripMesh(const StripFile& strip, const StripLod& lod, int32_t index);
StripGroup ReadStripGroup(const StripFile& strip, const StripMesh& mesh, int32_t index);
