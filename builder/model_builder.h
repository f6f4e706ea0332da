// Builds model files (.mdl) and strip files (.dx80.vtx) for tests.
//
// A test describes the model in plain structs (ModelDescription and the
// structs it holds), calls BuildModel, and gets both images as byte vectors
// together with a map of where every table, record and named field landed.
// The builder encodes the formats on its own, from the format tables in
// builder/format_tables.h; it never uses the tool's readers or layout
// description, so a field the tool reads from the wrong place shows up as a
// test failure instead of agreeing with itself.
//
// Everything the builder computes (offsets, counts, record positions) is
// right by default. Damaged files are made in two ways:
//   - the count overrides in the descriptions (std::optional fields), which
//     write a count that disagrees with the array actually written;
//   - patching the built bytes afterwards: every block and many fields are in
//     BuiltFile::blocks, so a test can write any value anywhere
//     (PutI32(built.model.bytes, At(built.model, "header.boneOffset"), -4)),
//     or cut the file short (built.model.bytes.resize(n)).
// BuildOptions places blocks before their base (negative offsets), at odd
// addresses, and fills every byte the tool must not read with non-zero
// garbage.
//
// Block names (keys of BuiltFile::blocks). Indices are decimal, from 0.
//   model file:
//     "header"                              the header record
//     "header.<field>"                      version, name, eyePosition, illumPosition, boneCount,
//                                           boneOffset, hitboxSetCount, hitboxSetOffset, animDescCount,
//                                           animDescOffset, sequenceCount, sequenceOffset, textureCount,
//                                           textureOffset, materialFolderCount, materialFolderOffset,
//                                           bodyPartCount, bodyPartOffset, attachmentCount,
//                                           attachmentOffset, poseParamCount, poseParamOffset,
//                                           surfacePropOffset
//     "bones", "bones.names", "bone3.name"
//     "animations", "animations.names", "anim2.name"
//     "anim2.boneAnims"                     the per-bone records of animation 2
//     "anim2.streams"                       all value streams of animation 2
//     "anim2.bone1.position0".."position2"  start of an axis stream (x, y, z); only axes with a stream
//     "anim2.bone1.rotation0".."rotation2"  of their own
//     "sequences", "sequences.names", "sequence0.label", "sequence0.activity"
//     "textures", "textures.names", "texture0.name"
//     "materialFolders", "materialFolders.names", "materialFolder0.name"
//     "poseParams", "poseParams.names", "poseParam0.name"
//     "hitboxSets", "hitboxSets.names", "hitboxSet0.name", "hitboxSet0.hitboxes"
//     "attachments", "attachments.names", "attachment0.name"
//     "surfaceProp"
//     "bodyParts", "bodyParts.names", "bodyPart0.name"
//     "bodyPart0.subModels"                 the sub-model records of body part 0
//     "bodyPart0.subModel1.meshes"
//     "bodyPart0.subModel1.vertices"        interleaved vertex records (versions 31-37)
//     "bodyPart0.subModel1.positions", ".normals", ".texCoords"   split arrays (versions 28-30)
//   strip file:
//     "strip.header", "strip.bodyParts"
//     "strip.bodyPart0.subModels"           the StripModel records of body part 0
//     "strip.bodyPart0.subModel1.lods"
//     "strip.bodyPart0.subModel1.lod0.meshes"
//     "strip.bodyPart0.subModel1.lod0.mesh2.groups"
//     "strip.bodyPart0.subModel1.lod0.mesh2.group0.vertices", ".indices", ".strips"
// SubModelKey / StripMeshKey / StripGroupKey below build the long prefixes.
// A table block of n records always exists, also for n = 0 (size 0), so its
// position is the value the count/offset pair points at.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tb {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
struct Quat {
  float x = 0, y = 0, z = 0, w = 1;  // w is the scalar part
};
using Matrix3x4Rows = std::array<std::array<float, 4>, 3>;  // row-major, column 3 = translation
constexpr Matrix3x4Rows kIdentityMatrix = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}};

// Which record layout the image is written in. By default it follows the
// version: 37 current, 31-36 early, 28-30 early with the 116-byte sub-model and
// split vertex arrays; any other version gets the current layout unless
// ModelDescription::family says otherwise.
enum class Family { Mode37, Mode31To36, Mode28To30 };
Family FamilyForVersion(int32_t version);

// ---- skeleton and animation ---------------------------------------------

struct BoneDescription {
  std::string name;
  int32_t parent = -1;
  Vec3 position;                      // referencePosition
  Vec3 angles;                        // referenceAngles, radians about X, Y, Z
  Vec3 positionScale = {1, 1, 1};
  Vec3 angleScale = {1, 1, 1};
};

// One run of a value stream. The header bytes are storedCount (defaults to
// values.size()) and runLength, each written as its low 8 bits; then every
// entry of `values` follows as int16. A storedCount that disagrees with
// values.size() is written as given: the next run still starts right after
// the values written, so a test can build runs the decoder must not trust.
struct AnimRun {
  std::vector<int16_t> values;
  int runLength = 0;
  std::optional<int> storedCount;
};

// The stream of one axis. No runs and no sharing: the record's offset for the
// axis is 0 (a constant axis). sameAs 0..2 (position x, y, z) or 3..5
// (rotation x, y, z) points this axis at the stream of that axis of the same
// per-bone record instead of writing one of its own (its runs are then
// ignored); the axis named must have runs of its own.
struct AxisStream {
  std::vector<AnimRun> runs;
  int sameAs = -1;
};

// Per-bone record of one animation. `flags` is written as the byte animFlags
// and decides what the record holds: with 0x01 set, three position stream
// offsets; clear, rawPosition. With 0x02 set, three rotation stream offsets
// (bytes 28..31 unused); clear, rawQuaternion. Streams given for an axis whose
// flag is clear are still written into the stream block (unreferenced, but
// usable through sameAs).
struct BoneAnimDescription {
  uint8_t flags = 0;
  Vec3 rawPosition;
  Quat rawQuaternion;
  std::array<AxisStream, 3> position;
  std::array<AxisStream, 3> rotation;
};
constexpr uint8_t kPositionCodedFlag = 0x01;
constexpr uint8_t kRotationCodedFlag = 0x02;

struct AnimationDescription {
  std::string name;
  float fps = 30;
  int32_t frameCount = 1;
  // One per bone, in bone order. When shorter than the model's bone list, the
  // missing bones get raw records (flags 0, position 0, identity rotation);
  // when longer, every entry is written.
  std::vector<BoneAnimDescription> bones;
};

struct SequenceDescription {
  std::string label;
  std::string activity;        // always stored, read only for a non-zero weight
  int32_t activityWeight = 0;
};

// ---- descriptive records ----------------------------------------------------

struct PoseParamDescription {
  std::string name;
  int32_t flags = 0;
  float start = 0, end = 0, loop = 0;
};

struct HitboxDescription {
  int32_t bone = 0;
  int32_t group = 0;
  Vec3 boxMin, boxMax;
};
struct HitboxSetDescription {
  std::string name;
  std::vector<HitboxDescription> hitboxes;
  std::optional<int32_t> hitboxCount;  // written instead of hitboxes.size()
};

struct AttachmentDescription {
  std::string name;
  int32_t bone = 0;
  Matrix3x4Rows matrix = kIdentityMatrix;
};

// ---- geometry and strips ----------------------------------------------------

struct VertexDescription {
  int16_t bone = 0;  // not stored in versions 28-30
  Vec3 position;
  Vec3 normal;
  float u = 0, v = 0;
};

struct MeshDescription {
  int32_t material = 0;    // index into the texture table
  int32_t vertexBase = 0;
  // The sub-model whose vertex data the mesh uses (its modelOffset points
  // there): sub-model ownerSubModel of body part ownerBodyPart, where -1
  // stands for the body part / sub-model that holds the mesh.
  int ownerBodyPart = -1;
  int ownerSubModel = -1;
};

// One strip: indexCount entries of the group's index array from firstIndex on.
struct StripDescription {
  int32_t indexCount = 0;
  int32_t firstIndex = 0;  // in entries
};

struct StripGroupDescription {
  std::vector<int16_t> vertices;   // meshVertexIndex of each strip vertex
  std::vector<uint16_t> indices;   // the index array: positions in `vertices`
  std::vector<StripDescription> strips;
  std::optional<int32_t> stripCount;  // written instead of strips.size()
};

struct StripMeshDescription {
  std::vector<StripGroupDescription> groups;
  std::optional<int32_t> groupCount;  // written instead of groups.size() (e.g. 6, 0, -1)
};

// One level of detail of a sub-model; meshes[m] belongs to mesh m of the
// sub-model. Exactly meshes.size() StripMesh records are written.
struct LodDescription {
  float switchDistance = 0;
  std::vector<StripMeshDescription> meshes;
};

struct SubModelDescription {
  std::string name;  // inline, 72 bytes; 72 or more characters leave no terminator
  std::vector<MeshDescription> meshes;
  std::vector<VertexDescription> vertices;
  std::optional<int32_t> meshCount;    // written instead of meshes.size()
  std::optional<int32_t> vertexCount;  // written instead of vertices.size()
  // Strip file side.
  std::vector<LodDescription> lods;
  std::optional<int32_t> lodCount;     // written instead of lods.size()
};

struct BodyPartDescription {
  std::string name;
  std::vector<SubModelDescription> subModels;
  std::optional<int32_t> modelCount;   // written instead of subModels.size()
};

// Header counts written instead of the size of the matching list.
struct HeaderCounts {
  std::optional<int32_t> bones, hitboxSets, animations, sequences, textures, materialFolders, bodyParts,
      attachments, poseParams;
};

struct ModelDescription {
  int32_t version = 37;
  std::optional<Family> family;  // default: FamilyForVersion(version)
  std::string name = "test.mdl";  // inline at 12, 68 bytes; 68 or more characters leave no terminator
  Vec3 eyePosition;
  Vec3 illumPosition;
  std::vector<BoneDescription> bones;
  std::vector<AnimationDescription> animations;
  std::vector<SequenceDescription> sequences;
  std::vector<BodyPartDescription> bodyParts;
  std::vector<std::string> textures;          // material names
  std::vector<std::string> materialFolders;
  std::vector<PoseParamDescription> poseParams;
  std::vector<HitboxSetDescription> hitboxSets;
  std::vector<AttachmentDescription> attachments;
  std::string surfaceProp = "default";
  HeaderCounts counts;
};

// ---- building ----------------------------------------------------------------

// Block name patterns in the options: an exact block name, or a pattern in
// which '*' matches any run of characters ("*" alone: every block,
// "strip.*": every strip file block, "*.names": every name pool).
struct BuildOptions {
  // Fill every byte that the format leaves unread (inside records, after the
  // terminator of inline names, alignment padding, gaps) with pseudo-random
  // non-zero bytes instead of zeros.
  bool garbage = false;
  uint32_t garbageSeed = 1;
  // Bytes inserted before every block but the file header, and after the last
  // block (garbage or zeros, as above).
  size_t gapBytes = 0;
  // Matching blocks start at an odd address.
  std::vector<std::string> oddBlocks;
  // Matching blocks are placed before the record that holds their offset, so
  // that offset is negative. The tables reached from a file header stay after
  // it, and offsets counted from the file start (material folder names, the
  // surface property) stay positive wherever their block lies.
  std::vector<std::string> beforeBase;
};

// Every block of a built image.
struct Block {
  size_t at = 0;          // position in the image
  size_t size = 0;        // bytes
  size_t recordSize = 0;  // stride of a table block, 0 for other blocks
};

struct BuiltFile {
  std::vector<uint8_t> bytes;
  std::map<std::string, Block> blocks;
};

struct BuiltModel {
  Family family = Family::Mode37;
  BuiltFile model;  // the .mdl image
  BuiltFile strip;  // the .dx80.vtx image
};

// Both images. Throws std::invalid_argument for descriptions that can not be
// encoded (an AxisStream::sameAs naming an axis without a stream of its own,
// an owner sub-model that does not exist).
BuiltModel BuildModel(const ModelDescription& model, const BuildOptions& options = {});

// Writes <directory>/<baseName>.mdl and <directory>/<baseName>.dx80.vtx and
// returns <directory>/<baseName>, the name to pass to -file. Throws
// std::runtime_error when a file can not be written.
std::string WriteModelFiles(const BuiltModel& built, const std::string& directory, const std::string& baseName);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// ---- positions in a built image ---------------------------------------------

// Position of a block; throws std::out_of_range naming the missing block.
size_t At(const BuiltFile& file, const std::string& block);
// Position of record `index` of a table block: At(block) + index * recordSize.
size_t RecordAt(const BuiltFile& file, const std::string& table, size_t index);

std::string SubModelKey(int bodyPart, int subModel);            // "bodyPart0.subModel1"
std::string StripSubModelKey(int bodyPart, int subModel);       // "strip.bodyPart0.subModel1"
std::string StripLodKey(int bodyPart, int subModel, int lod);   // "strip.bodyPart0.subModel1.lod0"
std::string StripMeshKey(int bodyPart, int subModel, int lod, int mesh);              // "....lod0.mesh2"
std::string StripGroupKey(int bodyPart, int subModel, int lod, int mesh, int group);  // "....mesh2.group0"

// Record positions (model file).
size_t BoneAt(const BuiltModel& built, int bone);
size_t AnimDescAt(const BuiltModel& built, int animation);
size_t BoneAnimAt(const BuiltModel& built, int animation, int bone);
size_t SequenceAt(const BuiltModel& built, int sequence);
size_t BodyPartAt(const BuiltModel& built, int bodyPart);
size_t SubModelAt(const BuiltModel& built, int bodyPart, int subModel);
size_t MeshAt(const BuiltModel& built, int bodyPart, int subModel, int mesh);
size_t VertexAt(const BuiltModel& built, int bodyPart, int subModel, int vertex);  // interleaved families
// Record positions (strip file).
size_t StripBodyPartAt(const BuiltModel& built, int bodyPart);
size_t StripModelAt(const BuiltModel& built, int bodyPart, int subModel);
size_t StripLodAt(const BuiltModel& built, int bodyPart, int subModel, int lod);
size_t StripMeshAt(const BuiltModel& built, int bodyPart, int subModel, int lod, int mesh);
size_t StripGroupAt(const BuiltModel& built, int bodyPart, int subModel, int lod, int mesh, int group);
size_t StripAt(const BuiltModel& built, int bodyPart, int subModel, int lod, int mesh, int group, int strip);

// ---- patching -------------------------------------------------------------------

// Little-endian stores into a built image; throw std::out_of_range when the
// value does not fit inside the bytes.
void PutU8(std::vector<uint8_t>& bytes, size_t at, uint8_t value);
void PutI16(std::vector<uint8_t>& bytes, size_t at, int16_t value);
void PutU16(std::vector<uint8_t>& bytes, size_t at, uint16_t value);
void PutI32(std::vector<uint8_t>& bytes, size_t at, int32_t value);
void PutF32(std::vector<uint8_t>& bytes, size_t at, float value);
// Little-endian loads, for tests of the builder itself.
int16_t GetI16(const std::vector<uint8_t>& bytes, size_t at);
int32_t GetI32(const std::vector<uint8_t>& bytes, size_t at);
float GetF32(const std::vector<uint8_t>& bytes, size_t at);

// ---- convenience ---------------------------------------------------------------

// `count` bones "bone0".."boneN": bone 0 is the root (parent -1), bone i hangs
// on bone i - 1 and sits 10 units up its parent's Z axis.
std::vector<BoneDescription> BoneChain(int count);

// A stream storing one value per frame (runs of at most 255 frames).
AxisStream PerFrameStream(const std::vector<int16_t>& values);
// A stream of one stored value repeated over `frames` frames (runs of at
// most 255 frames; at least one run).
AxisStream ConstantStream(int16_t value, int frames);
// A stream from explicit runs.
AxisStream RunsStream(std::vector<AnimRun> runs);
// Per-bone records.
BoneAnimDescription RawBoneAnim(Vec3 position, Quat rotation = {});
BoneAnimDescription CodedBoneAnim(std::array<AxisStream, 3> position, std::array<AxisStream, 3> rotation);

// A group holding a plain triangle list: strip vertex i has meshVertexIndex i
// for i up to the largest index used, the index array is `triangleList` and
// one strip covers all of it.
StripGroupDescription TriangleGroup(const std::vector<uint16_t>& triangleList);
// A level of detail with one mesh made of one TriangleGroup.
LodDescription TriangleLod(float switchDistance, const std::vector<uint16_t>& triangleList);

// A cube of side 2 around the origin: 24 vertices (4 per face, outward
// normals, UVs 0/1), all on `bone`, one mesh with `material`, and one level of
// detail (switch distance 0) drawing its 12 triangles.
SubModelDescription BoxSubModel(const std::string& name, int32_t material = 0, int16_t bone = 0);

// A small complete model: header name "box.mdl", one bone "root", texture
// "box_skin", material folder "models/box/", body part "body" with
// BoxSubModel("box"), animation "idle" (30 fps, 2 frames, raw pose at the
// origin), sequence "idle" with activity "ACT_IDLE" weight 1, surface
// property "metal".
ModelDescription BoxModel(int32_t version = 37);

// Options for a hostile-looking but valid file: garbage in every unread byte
// and 8 garbage bytes around every block.
BuildOptions GarbageEverywhere(uint32_t seed = 1);

}  // namespace tb
