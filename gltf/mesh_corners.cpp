#include "gltf/mesh_corners.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int kRecordReadLength = kVertexRecordSize - kRecordBoneAt;
constexpr int64_t kPositionSize = 12;
constexpr int64_t kNormalSize = 12;
constexpr int64_t kTexCoordSize = 8;
constexpr int kStripVertexIndexAt = 12;  // meshVertexIndex inside a StripVertex

VertexSpan CheckVertexSpan(const ModelFile& model, const ModelRecord& subModel, int64_t first, int64_t last) {
  const ByteView& bytes = model.bytes;
  const int64_t count = last - first + 1;
  VertexSpan span;
  span.first = first;
  if (model.layout->vertexStorage == VertexStorage::Interleaved) {
    const int64_t start = AddOffset(subModel.at, subModel.vertexOffset) + first * kVertexRecordSize + kRecordBoneAt;
    span.records = CheckedPointer(bytes, start, (count - 1) * kVertexRecordSize + kRecordReadLength, "vertex record");
  } else {
    span.positions = CheckedPointer(bytes, AddOffset(subModel.at, subModel.positionOffset) + first * kPositionSize,
                                    count * kPositionSize, "vertex position");
    span.normals = CheckedPointer(bytes, AddOffset(subModel.at, subModel.normalOffset) + first * kNormalSize,
                                  count * kNormalSize, "vertex normal");
    span.texCoords = CheckedPointer(bytes, AddOffset(subModel.at, subModel.texCoordOffset) + first * kTexCoordSize,
                                    count * kTexCoordSize, "vertex texture coordinate");
  }
  return span;
}

void PrepareMeshSource(const ModelFile& model, const MeshRecord& mesh, MeshSource& source) {
  if (source.ready) return;
  source.subModel = ReadSubModelAt(model, AddOffset(mesh.at, mesh.modelOffset));
  const ModelHeader header = ReadModelHeader(model);
  // Outside the texture table the "name" would be bytes of another table.
  if (mesh.material < 0 || mesh.material >= header.textureCount) {
    char text[96];
    std::snprintf(text, sizeof text, "names texture %d of a table of %d", mesh.material, header.textureCount);
    ThrowFormatErrorText(model.bytes, "mesh material index", mesh.at, text);
  }
  source.material = mesh.material;
  source.textureName = TextureName(model, header, mesh.material);
  source.ready = true;
}

void CollectStripGroup(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh, const StripGroup& group,
                       MeshSource& source, FileBudget& stripBudget, std::vector<uint16_t>& corners,
                       const StripGroupVisitor& visit) {
  const ByteView& stripBytes = strip.bytes;
  if (group.stripCount <= 0) return;
  const int64_t stripsAt = AddOffset(group.at, group.stripOffset);
  const unsigned char* strips =
      CheckedPointer(stripBytes, stripsAt, int64_t{group.stripCount} * kStripSize, "strip table");
  ChargeTableToBudget(stripBudget, stripBytes, stripsAt, group.stripCount, kStripSize, "strip table");
  const int32_t stripCount = group.stripCount;

  // The span of index entries the whole triangles use.
  int64_t firstEntry = INT64_MAX, endEntry = INT64_MIN, usedEntries = 0;
  for (int32_t s = 0; s < stripCount; ++s) {
    const unsigned char* record = strips + int64_t{s} * kStripSize;
    const int32_t triangles = LoadI32(record) / 3;  // truncates toward zero, as the format counts
    if (triangles <= 0) continue;
    const int64_t first = LoadI32(record + 4);
    firstEntry = std::min(firstEntry, first);
    endEntry = std::max(endEntry, first + 3 * int64_t{triangles});
    usedEntries += 3 * int64_t{triangles};
  }
  if (firstEntry > endEntry) return;  // no strip has a whole triangle
  const int64_t entriesAt = AddOffset(group.at, group.indexOffset) + kStripIndexSize * firstEntry;
  const unsigned char* entries =
      CheckedPointer(stripBytes, entriesAt, kStripIndexSize * (endEntry - firstEntry), "strip index entry");
  ChargeFileBudget(stripBudget, stripBytes, kStripIndexSize * usedEntries, entriesAt, "strip index entries");
  auto entryAt = [&](int64_t t) { return LoadU16(entries + kStripIndexSize * (t - firstEntry)); };
  auto forEachEntry = [&](auto&& visitEntry) {
    for (int32_t s = 0; s < stripCount; ++s) {
      const unsigned char* record = strips + int64_t{s} * kStripSize;
      const int32_t triangles = LoadI32(record) / 3;
      const int64_t first = LoadI32(record + 4);
      for (int64_t t = first; t < first + 3 * int64_t{triangles}; ++t) visitEntry(entryAt(t));
    }
  };

  // The strip vertices the entries select.
  uint32_t lowVertex = UINT32_MAX, highVertex = 0;
  forEachEntry([&](uint16_t e) {
    lowVertex = std::min(lowVertex, uint32_t{e});
    highVertex = std::max(highVertex, uint32_t{e});
  });
  const unsigned char* stripVertices = CheckedPointer(
      stripBytes, AddOffset(group.at, group.vertexOffset) + int64_t{kStripVertexSize} * lowVertex + kStripVertexIndexAt,
      int64_t{kStripVertexSize} * (highVertex - lowVertex) + 2, "strip vertex");
  const int64_t vertexBase = mesh.vertexBase;
  auto modelVertex = [&](uint16_t e) {
    return vertexBase + LoadI16(stripVertices + int64_t{kStripVertexSize} * (e - lowVertex));
  };

  // The model vertices those strip vertices reach.
  int64_t lowModel = INT64_MAX, highModel = INT64_MIN;
  forEachEntry([&](uint16_t e) {
    const int64_t n = modelVertex(e);
    lowModel = std::min(lowModel, n);
    highModel = std::max(highModel, n);
  });
  PrepareMeshSource(model, mesh, source);
  const VertexSpan span = CheckVertexSpan(model, source.subModel, lowModel, highModel);

  // The interleaved families list the corners 0, 2, 1 (the other winding);
  // the split-array family keeps 0, 1, 2. Offsets from lowModel fit 16 bits:
  // every model vertex is vertexBase plus a 16-bit number.
  const bool reversed = model.layout->cornersReversed;
  corners.clear();
  corners.reserve(static_cast<size_t>(usedEntries));
  auto corner = [&](uint16_t e) { return static_cast<uint16_t>(modelVertex(e) - lowModel); };
  for (int32_t s = 0; s < stripCount; ++s) {
    const unsigned char* record = strips + int64_t{s} * kStripSize;
    const int32_t triangles = LoadI32(record) / 3;
    int64_t t = LoadI32(record + 4);
    for (int32_t q = 0; q < triangles; ++q, t += 3) {
      corners.push_back(corner(entryAt(t)));
      corners.push_back(corner(entryAt(reversed ? t + 2 : t + 1)));
      corners.push_back(corner(entryAt(reversed ? t + 1 : t + 2)));
    }
  }
  visit(source, span, corners);
}

}  // namespace

bool ReadMeshTriangles(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh,
                       const StripMesh& stripMesh, FileBudget& stripBudget, const StripGroupVisitor& visit) {
  if (stripMesh.groupCount > kMaxStripGroups) return false;
  try {
    ChargeTableToBudget(stripBudget, strip.bytes, AddOffset(stripMesh.at, stripMesh.groupOffset), stripMesh.groupCount,
                        kStripGroupSize, "strip group table");
  } catch (FormatError& error) {
    error.message = "strip groups: " + error.message;
    throw;
  }
  MeshSource source;
  std::vector<uint16_t> corners;
  for (int32_t g = 0; g < stripMesh.groupCount; ++g) {
    try {
      CollectStripGroup(model, strip, mesh, ReadStripGroup(strip, stripMesh, g), source, stripBudget, corners, visit);
    } catch (FormatError& error) {
      error.message = "strip group " + std::to_string(g) + ": " + error.message;
      throw;
    }
  }
  return true;
}
