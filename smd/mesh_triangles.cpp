// Triangle output: for every triangle a material line and three vertex lines.
//
// This writer produces most of the bytes of a large model. Its strip groups
// were validated by the read layer (model/mesh_plan.h), so they are written
// here with unchecked loads, possibly on another thread.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "io/safe_names.h"
#include "model/mesh_plan.h"
#include "smd/mesh_export.h"

namespace {

// The position and the normal are written as one run of six floats.
static_assert(kRecordNormal == kRecordPosition + 12, "normal follows position");
constexpr int64_t kPositionSize = 12;
constexpr int64_t kNormalSize = 12;
constexpr int64_t kTexCoordSize = 8;

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
// The kept text is followed by kShortLine bytes of padding, so that most
// lines are copied as one block of a fixed size (PutPaddedBytes).
struct VertexLines {
  static constexpr uint32_t kNotFormatted = UINT32_MAX;
  static constexpr size_t kShortLine = 128;
  const VertexSpan* span = nullptr;
  std::vector<uint32_t> start;   // where the line of vertex span->first + i begins in text
  std::vector<uint16_t> length;  // and its length (at most kMaxVertexLine)
  std::vector<char> text;        // the lines formatted so far, one after the other, then padding
  size_t used = 0;               // the bytes of text that hold lines

  void Reset(const VertexSpan& vertices, int64_t count) {
    span = &vertices;
    start.assign(static_cast<size_t>(count), kNotFormatted);
    length.resize(static_cast<size_t>(count));
    used = 0;
  }

  void Put(OutputFile& out, int64_t n) {
    const size_t i = static_cast<size_t>(n - span->first);
    if (start[i] == kNotFormatted) {
      char* line = ReserveBytes(out, kMaxVertexLine);
      const size_t formatted = FormatVertexLine(line, *span, n);
      out.used += formatted;
      if (used + kMaxVertexLine + kShortLine > text.size()) text.resize(std::max(2 * text.size(), size_t{1} << 16));
      std::memcpy(text.data() + used, line, formatted);
      start[i] = static_cast<uint32_t>(used);
      length[i] = static_cast<uint16_t>(formatted);
      used += formatted;
      return;
    }
    PutPaddedBytes<kShortLine>(out, text.data() + start[i], length[i]);
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

}  // namespace

void WritePlannedTriangles(const MeshPlan& plan, OutputFile& out) {
  VertexLines& lines = ReusedVertexLines();
  const std::string materialLine = WrittenName(plan.materialName) + ".bmp\n";
  constexpr size_t kShortMaterial = 64;
  const std::string paddedMaterial = materialLine + std::string(kShortMaterial, '\0');
  const bool reversed = plan.reversed;
  for (const StripGroupPlan& group : plan.groups) {
    lines.Reset(group.span, group.highModel - group.span.first + 1);
    ForEachTriangle(group, [&](uint16_t e0, uint16_t e1, uint16_t e2) {
      PutPaddedBytes<kShortMaterial>(out, paddedMaterial.data(), materialLine.size());
      lines.Put(out, ModelVertex(group, e0));
      lines.Put(out, ModelVertex(group, reversed ? e2 : e1));
      lines.Put(out, ModelVertex(group, reversed ? e1 : e2));
    });
  }
}
