#include "formats/strip_records.h"


StripBodyPart ReadStripBodyPart(const StripFile& strip, int32_t index) {
  StripBodyPart r;
  int32_t bodyPartOffset = ReadI32(strip.bytes, 32, "strip header bodyPartOffset");
  r.at = TableRecord(0, bodyPartOffset, index, kStripBodyPartSize);
  r.modelOffset = ReadI32(strip.bytes, AddOffset(r.at, 4), "strip body part record");
  return r;
}

StripModel ReadStripModel(const StripFile& strip, const StripBodyPart& bodyPart, int32_t index) {
  StripModel r;
  r.at = TableRecord(bodyPart.at, bodyPart.modelOffset, index, kStripModelSize);
  const unsigned char* p = CheckedPointer(strip.bytes, r.at, kStripModelSize, "strip model record");
  r.lodCount = LoadI32(p);
  r.lodOffset = LoadI32(p + 4);
  return r;
}

StripLod ReadStripLod(const StripFile& strip, const StripModel& model, int32_t index) {
  StripLod r;
  r.at = TableRecord(model.at, model.lodOffset, index, kStripLodSize);
  const unsigned char* p = CheckedPointer(strip.bytes, r.at, kStripLodSize, "strip LOD record");
  r.meshOffset = LoadI32(p + 4);
  r.switchDistance = LoadF32(p + 8);
  return r;
}

StripMesh ReadStripMesh(const StripFile& strip, const StripLod& lod, int32_t index) {
  StripMesh r;
  r.at = TableRecord(lod.at, lod.meshOffset, index, kStripMeshSize);
  const unsigned char* p = CheckedPointer(strip.bytes, r.at, 8, "strip mesh record");
  r.groupCount = LoadI32(p);
  r.groupOffset = LoadI32(p + 4);
  return r;
}

StripGroup ReadStripGroup(const StripFile& strip, const StripMesh& mesh, int32_t index) {
  StripGroup r;
  r.at = TableRecord(mesh.at, mesh.groupOffset, index, kStripGroupSize);
  const unsigned char* p = CheckedPointer(strip.bytes, r.at, 24, "strip group record");
  r.vertexOffset = LoadI32(p + 4);
  r.indexOffset = LoadI32(p + 12);
  r.stripCount = LoadI32(p + 16);
  r.stripOffset = LoadI32(p + 20);
  return r;
}

Strip ReadStrip(const StripFile& strip, const StripGroup& group, int32_t index) {
  Strip r;
  r.at = TableRecord(group.at, group.stripOffset, index, kStripSize);
  const unsigned char* p = CheckedPointer(strip.bytes, r.at, 8, "strip record");
  r.indexCount = LoadI32(p);
  r.firstIndex = LoadI32(p + 4);
  return r;
}

uint16_t ReadStripIndex(const StripFile& strip, const StripGroup& group, int64_t t) {
  return ReadU16(strip.bytes, TableRecord(group.at, group.indexOffset, t, kStripIndexSize), "strip index entry");
}

int16_t ReadStripVertexIndex(const StripFile& strip, const StripGroup& group, int64_t v) {
  return ReadI16(strip.bytes, AddOffset(TableRecord(group.at, group.vertexOffset, v, kStripVertexSize), kStripVertexIndexAt),
                 "strip vertex meshVertexIndex");
}
