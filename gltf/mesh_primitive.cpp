#include "gltf/mesh_primitive.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <string>

#include "gltf/value_repair.h"
#include "io/shown_name.h"

// The binary chunk is little-endian; values are copied as the host holds them.
static_assert(std::endian::native == std::endian::little, "the host stores numbers little-endian");

namespace {

// Model vertices of a mesh lie within a signed 16-bit step of its vertexBase.
constexpr int64_t kKeyBias = 32768;
constexpr size_t kKeyCount = 65536;

// The interleaved glTF vertex: position, normal, texture coordinate, then
// with a skin four joints (bytes, or 16-bit with more than 256 bones) and
// four weights as normalised bytes.
constexpr int kPositionAt = 0;
constexpr int kNormalAt = 12;
constexpr int kTexCoordAt = 24;
constexpr int kJointsAt = 32;
constexpr int kStaticStride = 32;

// Index 65535 of 16-bit indices means a strip restart to some readers.
constexpr int64_t kMaxShortIndexedVertices = 65535;

}  // namespace

MeshPrimitive::MeshPrimitive(GlbBuild& build) : build_(build), localOf_(kKeyCount, -1) {
  shortJoints_ = build.boneCount > 256;
  stride_ = build.skin < 0 ? kStaticStride : kJointsAt + (shortJoints_ ? 8 : 4) + 4;
}

void MeshPrimitive::Begin(const MeshPlan& mesh) {
  for (uint16_t key : usedKeys_) localOf_[key] = -1;
  usedKeys_.clear();
  indices_.clear();
  verticesAt_ = build_.document.Binary().Size();
  vertexBase_ = mesh.groups.empty() ? 0 : mesh.groups.front().vertexBase;
  textureName_ = mesh.materialName;  // a view into the model file
  for (int axis = 0; axis < 3; ++axis) {
    low_[axis] = std::numeric_limits<float>::infinity();
    high_[axis] = -std::numeric_limits<float>::infinity();
  }
  strayBones_ = 0;
}

namespace {

// A model vertex's position, normal and texture coordinate as glTF holds
// them, and its stored bone with where it lies.
struct ReadVertex {
  float values[8];
  int32_t bone = 0;
  const unsigned char* boneAt = nullptr;  // null: the family stores no bone
};

inline ReadVertex ReadModelVertex(const VertexSpan& span, int64_t k, Repairs& repairs) {
  const unsigned char* position;
  const unsigned char* normal;
  const unsigned char* texCoord;
  ReadVertex vertex;
  if (span.records != nullptr) {
    const unsigned char* record = span.records + k * kVertexRecordSize;
    position = record + kRecordPosition;
    normal = record + kRecordNormal;
    texCoord = record + kRecordTexCoord;
    vertex.boneAt = record + kRecordBone;
    vertex.bone = LoadI16(vertex.boneAt);
  } else {
    position = span.positions + 12 * k;
    normal = span.normals + 12 * k;
    texCoord = span.texCoords + 8 * k;
  }
  for (int i = 0; i < 3; ++i) vertex.values[i] = RepairedNumber(LoadF32(position + 4 * i), repairs);
  const Vector3 n = RepairedNormal(Vector3{LoadF32(normal), LoadF32(normal + 4), LoadF32(normal + 8)}, repairs);
  vertex.values[3] = n.x;
  vertex.values[4] = n.y;
  vertex.values[5] = n.z;
  vertex.values[6] = RepairedNumber(LoadF32(texCoord), repairs);
  vertex.values[7] = RepairedNumber(LoadF32(texCoord + 4), repairs);
  return vertex;
}

}  // namespace

void MeshPrimitive::AddStripGroup(const VertexSpan& span, const std::vector<uint16_t>& corners) {
  BinaryChunk& binary = build_.document.Binary();
  Repairs& repairs = build_.repairs;
  const size_t needed = indices_.size() + corners.size();
  if (needed > indices_.capacity()) indices_.reserve(std::max(needed, 2 * indices_.capacity()));
  const size_t stride = static_cast<size_t>(stride_);
  const bool skin = build_.skin >= 0;
  const int32_t boneCount = build_.boneCount;
  // Kept in locals while the vertices are written: stores through the byte
  // pointer `out` could otherwise change them, as far as the compiler knows.
  float low[3], high[3];
  std::copy_n(low_, 3, low);
  std::copy_n(high_, 3, high);
  // The new vertices of this many corners at most fill one room in the chunk.
  constexpr size_t kCornersPerRoom = 1024;
  for (size_t first = 0; first < corners.size(); first += kCornersPerRoom) {
    const size_t end = std::min(corners.size(), first + kCornersPerRoom);
    unsigned char* const room = binary.Room((end - first) * stride);
    unsigned char* out = room;
    for (size_t c = first; c < end; ++c) {
      const int64_t n = span.first + corners[c];
      const size_t key = static_cast<size_t>(n - vertexBase_ + kKeyBias);
      int32_t local = localOf_[key];
      if (local < 0) {
        local = static_cast<int32_t>(usedKeys_.size());
        localOf_[key] = local;
        usedKeys_.push_back(static_cast<uint16_t>(key));
        ReadVertex vertex = ReadModelVertex(span, n - span.first, repairs);
        for (int i = 0; i < 3; ++i) {
          low[i] = std::min(low[i], vertex.values[i]);
          high[i] = std::max(high[i], vertex.values[i]);
        }
        if (skin && vertex.boneAt != nullptr && (vertex.bone < 0 || vertex.bone >= boneCount)) {
          NoteStrayBone(vertex.boneAt, vertex.bone);
          vertex.bone = 0;
        }
        PutVertex(vertex.values, vertex.bone, out);
        out += stride;
      }
      indices_.push_back(static_cast<uint32_t>(local));
    }
    binary.Appended(static_cast<size_t>(out - room));
  }
  std::copy_n(low, 3, low_);
  std::copy_n(high, 3, high_);
}

void MeshPrimitive::NoteStrayBone(const unsigned char* at, int32_t bone) {
  if (strayBones_++ == 0) {
    firstStrayAt_ = at - build_.model.bytes.data;
    firstStrayBone_ = bone;
  }
}

inline void MeshPrimitive::PutVertex(const float* values, int32_t bone, unsigned char* out) const {
  std::memcpy(out + kPositionAt, values, 8 * sizeof(float));
  static_assert(kNormalAt == 12 && kTexCoordAt == 24, "position, normal and texture coordinate in one run");
  if (build_.skin < 0) return;
  unsigned char* joints = out + kJointsAt;
  std::memset(joints, 0, static_cast<size_t>(stride_ - kJointsAt));
  if (shortJoints_) {
    joints[0] = static_cast<unsigned char>(bone);
    joints[1] = static_cast<unsigned char>(bone >> 8);
    joints[8] = 255;  // weight 1 on the first joint
  } else {
    joints[0] = static_cast<unsigned char>(bone);
    joints[4] = 255;
  }
}

int MeshPrimitive::Material() {
  auto found = build_.materials.find(textureName_);
  if (found != build_.materials.end()) return found->second;
  const int index = build_.document.Add("materials", Json{{"name", build_.Written(textureName_)}});
  build_.materials.emplace(std::string(textureName_), index);
  return index;
}

Json MeshPrimitive::Finish() {
  if (indices_.empty()) return Json();
  if (strayBones_ > 0) {
    build_.NoteRepair(ShownName(build_.model.bytes.fileName) + ": vertex bone at offset " +
                      std::to_string(firstStrayAt_) + " names bone " + std::to_string(firstStrayBone_) +
                      " of a table of " + std::to_string(build_.boneCount) + " (" + std::to_string(strayBones_) +
                      " such vertices), which glTF cannot hold; they are weighted to bone 0");
  }
  GltfDocument& document = build_.document;
  BinaryChunk& binary = document.Binary();
  const int64_t vertexCount = static_cast<int64_t>(usedKeys_.size());

  const int vertexView = document.AddBufferView(verticesAt_, stride_, kVertexTarget);
  Json attributes;
  const int position = document.AddAccessor(vertexView, kPositionAt, kFloat, vertexCount, "VEC3");
  document.SetRange(position, low_, high_);
  attributes["POSITION"] = position;
  attributes["NORMAL"] = document.AddAccessor(vertexView, kNormalAt, kFloat, vertexCount, "VEC3");
  attributes["TEXCOORD_0"] = document.AddAccessor(vertexView, kTexCoordAt, kFloat, vertexCount, "VEC2");
  if (build_.skin >= 0) {
    attributes["JOINTS_0"] =
        document.AddAccessor(vertexView, kJointsAt, shortJoints_ ? kUnsignedShort : kUnsignedByte, vertexCount, "VEC4");
    attributes["WEIGHTS_0"] =
        document.AddAccessor(vertexView, kJointsAt + (shortJoints_ ? 8 : 4), kUnsignedByte, vertexCount, "VEC4", true);
  }

  const int64_t start = binary.Size();
  const bool shortIndices = vertexCount <= kMaxShortIndexedVertices;
  if (shortIndices) {
    // Narrowed in pieces straight into the chunk.
    constexpr size_t kPiece = 4096;
    for (size_t first = 0; first < indices_.size(); first += kPiece) {
      const size_t count = std::min(kPiece, indices_.size() - first);
      uint16_t* narrow = reinterpret_cast<uint16_t*>(binary.Room(count * sizeof(uint16_t)));
      for (size_t i = 0; i < count; ++i) narrow[i] = static_cast<uint16_t>(indices_[first + i]);
      binary.Appended(count * sizeof(uint16_t));
    }
  } else {
    binary.Append(indices_.data(), indices_.size() * sizeof(uint32_t));
  }
  const int indexView = document.AddBufferView(start, 0, kIndexTarget);
  const int indices = document.AddAccessor(indexView, 0, shortIndices ? kUnsignedShort : kUnsignedInt,
                                           static_cast<int64_t>(indices_.size()), "SCALAR");
  return Json{{"attributes", std::move(attributes)}, {"indices", indices}, {"material", Material()}};
}
