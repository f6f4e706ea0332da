#include "tests/formats/single_record_readers.h"

namespace {

Vector3 ReadVector(const ByteView& view, int64_t pos, const char* field) {
  const unsigned char* p = CheckedPointer(view, pos, 12, field);
  return Vector3{LoadF32(p), LoadF32(p + 4), LoadF32(p + 8)};
}

}  // namespace

Strip ReadStrip(const StripFile& strip, const StripGroup& group, int32_t index) {
  Strip r;
  r.at = TableRecord(group.at, group.stripOffset, index, kStripSize);
  const unsigned char* p = CheckedPointer(strip.bytes, r.at, 8, "strip record");
  r.indexCount = LoadI32(p + kStripIndexCountAt);
  r.firstIndex = LoadI32(p + kStripFirstIndexAt);
  return r;
}

uint16_t ReadStripIndex(const StripFile& strip, const StripGroup& group, int64_t t) {
  return ReadU16(strip.bytes, TableRecord(group.at, group.indexOffset, t, kStripIndexSize), "strip index entry");
}

int16_t ReadStripVertexIndex(const StripFile& strip, const StripGroup& group, int64_t v) {
  return ReadI16(strip.bytes, AddOffset(TableRecord(group.at, group.vertexOffset, v, kStripVertexSize), kStripVertexIndexAt),
                 "strip vertex meshVertexIndex");
}

Vertex ReadVertex(const ModelFile& model, const ModelRecord& subModel, int32_t n) {
  Vertex v;
  if (model.layout->vertexStorage == VertexStorage::Interleaved) {
    int64_t at = TableRecord(subModel.at, subModel.vertexOffset, n, kVertexRecordSize);
    const unsigned char* p = CheckedPointer(model.bytes, at, kVertexRecordSize, "vertex record");
    v.bone = LoadI16(p + kVertexBoneAt);
    v.position = {LoadF32(p + kVertexPositionAt), LoadF32(p + kVertexPositionAt + 4), LoadF32(p + kVertexPositionAt + 8)};
    v.normal = {LoadF32(p + kVertexNormalAt), LoadF32(p + kVertexNormalAt + 4), LoadF32(p + kVertexNormalAt + 8)};
    v.u = LoadF32(p + kVertexTexCoordAt);
    v.v = LoadF32(p + kVertexTexCoordAt + 4);
  } else {
    v.position = ReadVector(model.bytes, TableRecord(subModel.at, subModel.positionOffset, n, 12), "vertex position");
    v.normal = ReadVector(model.bytes, TableRecord(subModel.at, subModel.normalOffset, n, 12), "vertex normal");
    const unsigned char* t =
        CheckedPointer(model.bytes, TableRecord(subModel.at, subModel.texCoordOffset, n, 8), 8, "vertex texture coordinate");
    v.u = LoadF32(t);
    v.v = LoadF32(t + 4);
  }
  return v;
}
