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
