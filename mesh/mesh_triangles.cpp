// Triangle output: for every triangle a material line and three vertex lines.
//
// This writer produces most of the bytes of a large model, so each strip group
// is validated once (PlanMeshTriangles) and then written with unchecked loads
// (WritePlannedTriangles), possibly on another thread:
//   1. the strips table must fit the strip file;
//   2. the index entries the strips use (firstIndex to firstIndex + 3 * the
//      number of whole triangles; the one or two entries left over are never
//      read) must lie inside it, as one span from the lowest to the highest;
//   3. the strip vertices those entries select, from the lowest to the highest
//      entry value;
//   4. the model vertices those strip vertices reach (vertexBase +
//      meshVertexIndex, from the lowest to the highest number), in the
//      family's vertex storage.
// All of this arithmetic is int64 on values that come from int32 and uint16
// fields, so it cannot overflow. Every pointer used afterwards points into one
// of these checked spans.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "io/safe_names.h"
#include "mesh/mesh_export.h"

namespace {

// Offsets inside a 64-byte VertexRecord, counted from its bone field (the first
// byte read).
constexpr int kRecordBone = 0;
constexpr int kRecordPosition = kVertexPositionAt - kVertexBoneAt;
constexpr int kRecordNormal = kVertexNormalAt - kVertexBoneAt;
constexpr int kRecordTexCoord = kVertexTexCoordAt - kVertexBoneAt;
// The position and the normal are written as one run of six floats.
static_assert(kRecordNormal == kRecordPosition + 12, "normal follows position");
constexpr int kRecordReadLength = kVertexRecordSize - kVertexBoneAt;

constexpr int64_t kPositionSize = 12;
constexpr int64_t kNormalSize = 12;
constexpr int64_t kTexCoordSize = 8;

VertexSpan CheckVertexSpan(const ModelFile& model, const ModelRecord& subModel, int64_t first, int64_t last) {
  const ByteView& bytes = model.bytes;
  int64_t count = last - first + 1;
  VertexSpan span;
  span.first = first;
  if (model.layout->vertexStorage == VertexStorage::Interleaved) {
    int64_t start = AddOffset(subModel.at, subModel.vertexOffset) + first * kVertexRecordSize + kVertexBoneAt;
    int64_t length = (count - 1) * kVertexRecordSize + kRecordReadLength;
    span.records = CheckedPointer(bytes, start, length, "vertex record");
  } else {
    int64_t positions = AddOffset(subModel.at, subModel.positionOffset) + first * kPositionSize;
    int64_t normals = AddOffset(subModel.at, subModel.normalOffset) + first * kNormalSize;
    int64_t texCoords = AddOffset(subModel.at, subModel.texCoordOffset) + first * kTexCoordSize;
    span.positions = CheckedPointer(bytes, positions, count * kPositionSize, "vertex position");
    span.normals = CheckedPointer(bytes, normals, count * kNormalSize, "vertex normal");
    span.texCoords = CheckedPointer(bytes, texCoords, count * kTexCoordSize, "vertex texture coordinate");
  }
  return span;
}

// The longest vertex line: bone, eight floats with their separators, line feed.
constexpr size_t kMaxVertexLine = 24 + 8 * (1 + kMaxFormattedFloat) + 1;
static_assert(kMaxVertexLine <= UINT16_MAX, "a line length fits 16 bits");

inline size_t FormatFloats(char* line, const unsigned char* p, int count) {
  size_t length = 0;
  for (int i = 0; i < count; ++i) {
    line[length++] = ' ';
    length += FormatFloatFixed<6>(line + length, LoadF32(p + 4 * i));
  }
  return length;
}

// "%d %2.6f %2.6f %2.6f %2.6f %2.6f %2.6f %2.6f %2.6f\n": bone, position,
// normal, u and -v. The width 2 never pads a number printed with six decimals.
// line holds kMaxVertexLine bytes.
size_t FormatVertexLine(char* line, const VertexSpan& span, int64_t n) {
  int64_t k = n - span.first;
  const unsigned char* texCoord;
  size_t length;
  if (span.records != nullptr) {
    const unsigned char* record = span.records + k * kVertexRecordSize;
    length = FormatInteger(line, LoadI16(record + kRecordBone));
    length += FormatFloats(line + length, record + kRecordPosition, 6);
    texCoord = record + kRecordTexCoord;
  } else {
    line[0] = '0';  // the split arrays store no bone
    length = 1;
    length += FormatFloats(line + length, span.positions + k * kPositionSize, 3);
    length += FormatFloats(line + length, span.normals + k * kNormalSize, 3);
    texCoord = span.texCoords + k * kTexCoordSize;
  }
  line[length++] = ' ';
  length += FormatFloatFixed<6>(line + length, LoadF32(texCoord));
  line[length++] = ' ';
  // Negating a float is exact; -0.0 prints as 0.000000.
  length += FormatFloatFixed<6>(line + length, -LoadF32(texCoord + 4));
  line[length++] = '\n';
  return length;
}

// A vertex is a corner of several triangles (about six in a closed mesh), and
// its line depends on nothing else, so each line is formatted once per strip
// group and copied for the vertex's other corners. The lines of the group's
// vertex span (at most 65536 vertices: a strip vertex adds an int16 to the
// mesh's vertexBase) are kept, so the memory stays bounded whatever the file.
struct VertexLines {
  static constexpr uint32_t kNotFormatted = UINT32_MAX;
  const VertexSpan* span = nullptr;
  std::vector<uint32_t> start;   // where the line of vertex span->first + i begins in text
  std::vector<uint16_t> length;  // and its length (at most kMaxVertexLine)
  std::vector<char> text;        // the lines formatted so far, one after the other

  void Reset(const VertexSpan& vertices, int64_t count) {
    span = &vertices;
    start.assign(static_cast<size_t>(count), kNotFormatted);
    length.resize(static_cast<size_t>(count));
    text.clear();
  }

  void Put(OutputFile& out, int64_t n) {
    const size_t i = static_cast<size_t>(n - span->first);
    if (start[i] == kNotFormatted) {
      char* line = ReserveBytes(out, kMaxVertexLine);
      const size_t formatted = FormatVertexLine(line, *span, n);
      out.used += formatted;
      start[i] = static_cast<uint32_t>(text.size());
      length[i] = static_cast<uint16_t>(formatted);
      text.insert(text.end(), line, line + formatted);
      return;
    }
    PutBytes(out, text.data() + start[i], length[i]);
  }
};

// One set of vertex lines serves every strip group a thread writes, so its
// memory is taken once rather than once per mesh: blocks this large come
// fresh from the system at every allocation, and each of their pages would be
// faulted in and cleared again.
VertexLines& ReusedVertexLines() {
  thread_local VertexLines lines;
  return lines;
}

// What a mesh needs once its first triangle is reached: its own sub-model (the
// one its modelOffset names, not necessarily the one being walked) and its
// material line. Read lazily so that a mesh without triangles reads neither.
struct MeshSource {
  bool ready = false;
  ModelRecord subModel;
};

void PrepareMeshSource(const ModelFile& model, const MeshRecord& mesh, MeshSource& source, MeshPlan& plan) {
  if (source.ready) return;
  source.subModel = ReadSubModelAt(model, AddOffset(mesh.at, mesh.modelOffset));
  ModelHeader header = ReadModelHeader(model);
  // A material outside the texture table is bad data even when the record it
  // would select lies inside the file: those bytes belong to another table,
  // and their "name" would be garbage on every triangle.
  if (mesh.material < 0 || mesh.material >= header.textureCount) {
    char text[96];
    std::snprintf(text, sizeof text, "names texture %d of a table of %d", mesh.material, header.textureCount);
    ThrowFormatErrorText(model.bytes, "mesh material index", mesh.at, text);
  }
  plan.materialName = TextureName(model, header, mesh.material);
  plan.materialLine = WrittenName(plan.materialName) + ".bmp\n";
  source.ready = true;
}

// Calls visit(e0, e1, e2) for every triangle of the group, in order.
template <typename Visit>
void ForEachTriangle(const StripGroupPlan& group, Visit&& visit) {
  auto entryAt = [&](int64_t t) { return LoadU16(group.entries + kStripIndexSize * (t - group.firstEntry)); };
  for (int32_t s = 0; s < group.stripCount; ++s) {
    const unsigned char* record = group.strips + int64_t{s} * kStripSize;
    int32_t triangles = LoadI32(record + kStripIndexCountAt) / 3;  // truncates toward zero, as the format counts
    int64_t t = LoadI32(record + kStripFirstIndexAt);
    for (int32_t q = 0; q < triangles; ++q, t += 3) visit(entryAt(t), entryAt(t + 1), entryAt(t + 2));
  }
}

inline int64_t ModelVertex(const StripGroupPlan& group, uint16_t e) {
  return group.vertexBase +
         LoadI16(group.stripVertices + int64_t{kStripVertexSize} * (e - group.lowVertex));
}

// Validates one strip group; false when it has no whole triangle.
bool PlanStripGroup(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh, const StripGroup& group,
                    MeshSource& source, MeshPlan& mesPlan, FileBudget* stripBudget, StripGroupPlan& plan) {
  const ByteView& stripBytes = strip.bytes;
  if (group.stripCount <= 0) return false;
  const int64_t stripsAt = AddOffset(group.at, group.stripOffset);
  plan.strips = CheckedPointer(stripBytes, stripsAt, int64_t{group.stripCount} * kStripSize, "strip table");
  if (stripBudget != nullptr) {
    ChargeTableToBudget(*stripBudget, stripBytes, stripsAt, group.stripCount, kStripSize, "strip table");
  }
  plan.stripCount = group.stripCount;

  // The span of index entries the whole triangles use.
  int64_t firstEntry = INT64_MAX, endEntry = INT64_MIN;
  int64_t usedEntries = 0;  // strips fit the file (< 2^31 / 27 of them), each < 2^31 entries
  for (int32_t s = 0; s < plan.stripCount; ++s) {
    const unsigned char* record = plan.strips + int64_t{s} * kStripSize;
    int32_t triangles = LoadI32(record + kStripIndexCountAt) / 3;
    if (triangles <= 0) continue;
    int64_t first = LoadI32(record + kStripFirstIndexAt);
    firstEntry = std::min(firstEntry, first);
    endEntry = std::max(endEntry, first + 3 * int64_t{triangles});
    usedEntries += 3 * int64_t{triangles};
  }
  if (firstEntry > endEntry) return false;  // no strip has a whole triangle
  const int64_t entriesAt = AddOffset(group.at, group.indexOffset) + kStripIndexSize * firstEntry;
  plan.entries =
      CheckedPointer(stripBytes, entriesAt, kStripIndexSize * (endEntry - firstEntry), "strip index entry");
  plan.firstEntry = firstEntry;
  if (stripBudget != nullptr) {
    ChargeFileBudget(*stripBudget, stripBytes, kStripIndexSize * usedEntries, entriesAt, "strip index entries");
  }

  // The strip vertices the entries select.
  uint32_t lowVertex = UINT32_MAX, highVertex = 0;
  ForEachTriangle(plan, [&](uint16_t e0, uint16_t e1, uint16_t e2) {
    lowVertex = std::min({lowVertex, uint32_t{e0}, uint32_t{e1}, uint32_t{e2}});
    highVertex = std::max({highVertex, uint32_t{e0}, uint32_t{e1}, uint32_t{e2}});
  });
  plan.stripVertices =
      CheckedPointer(stripBytes,
                     AddOffset(group.at, group.vertexOffset) + int64_t{kStripVertexSize} * lowVertex +
                         kStripVertexIndexAt,
                     int64_t{kStripVertexSize} * (highVertex - lowVertex) + 2, "strip vertex");
  plan.lowVertex = lowVertex;
  plan.vertexBase = mesh.vertexBase;

  // The model vertices those strip vertices reach.
  int64_t lowModel = INT64_MAX, highModel = INT64_MIN;
  ForEachTriangle(plan, [&](uint16_t e0, uint16_t e1, uint16_t e2) {
    for (uint16_t e : {e0, e1, e2}) {
      int64_t n = ModelVertex(plan, e);
      lowModel = std::min(lowModel, n);
      highModel = std::max(highModel, n);
    }
  });
  PrepareMeshSource(model, mesh, source, mesPlan);
  plan.span = CheckVertexSpan(model, source.subModel, lowModel, highModel);
  plan.highModel = highModel;
  return true;
}

}  // namespace

int PlanMeshTriangles(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh,
                      const StripMesh& stripMesh, MeshPlan& plan, FileBudget* stripBudget) {
  plan = MeshPlan();
  if (stripMesh.groupCount > kMaxStripGroups) return 0;
  // The interleaved families list the corners 0, 2, 1 (the other winding);
  // the split-array family keeps 0, 1, 2.
  plan.reversed = model.layout->cornersReversed;
  if (stripBudget != nullptr) {
    try {
      ChargeTableToBudget(*stripBudget, strip.bytes, AddOffset(stripMesh.at, stripMesh.groupOffset),
                          stripMesh.groupCount, kStripGroupSize, "strip group table");
    } catch (FormatError& error) {
      error.message = "strip groups: " + error.message;
      throw;
    }
  }
  MeshSource source;
  for (int32_t g = 0; g < stripMesh.groupCount; ++g) {
    try {
      StripGroupPlan group;
      if (PlanStripGroup(model, strip, mesh, ReadStripGroup(strip, stripMesh, g), source, plan, stripBudget, group))
        plan.groups.push_back(group);
    } catch (FormatError& error) {
      // The caller names the file and the mesh; the group is known only here.
      error.message = "strip group " + std::to_string(g) + ": " + error.message;
      throw;
    }
  }
  return 1;
}

void PlannedCorners(const MeshPlan& plan, const StripGroupPlan& group, std::vector<uint16_t>& corners) {
  corners.clear();
  const bool reversed = plan.reversed;
  auto corner = [&](uint16_t e) { return static_cast<uint16_t>(ModelVertex(group, e) - group.span.first); };
  ForEachTriangle(group, [&](uint16_t e0, uint16_t e1, uint16_t e2) {
    corners.push_back(corner(e0));
    corners.push_back(corner(reversed ? e2 : e1));
    corners.push_back(corner(reversed ? e1 : e2));
  });
}

void WritePlannedTriangles(const MeshPlan& plan, OutputFile& out) {
  VertexLines& lines = ReusedVertexLines();
  const bool reversed = plan.reversed;
  for (const StripGroupPlan& group : plan.groups) {
    lines.Reset(group.span, group.highModel - group.span.first + 1);
    ForEachTriangle(group, [&](uint16_t e0, uint16_t e1, uint16_t e2) {
      PutText(out, plan.materialLine);
      lines.Put(out, ModelVertex(group, e0));
      lines.Put(out, ModelVertex(group, reversed ? e2 : e1));
      lines.Put(out, ModelVertex(group, reversed ? e1 : e2));
    });
  }
}

int WriteMeshTriangles(const ModelFile& model, const StripFile& strip, const MeshRecord& mesh,
                       const StripMesh& stripMesh, OutputFile& out, FileBudget* stripBudget) {
  MeshPlan plan;
  if (PlanMeshTriangles(model, strip, mesh, stripMesh, plan, stripBudget) == 0) return 0;
  WritePlannedTriangles(plan, out);
  return 1;
}
