// What the parts of the .glb writer share while one file is built: the input
// files, the document, where the reading stands (for the bad-data message),
// the messages so far, and the nodes the scenes will list.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "gltf/gltf_document.h"
#include "model/model_geometry.h"

class WorkPool;

// The rotation turning the Z-up model to glTF's Y-up: -90 degrees about X,
// as x, y, z, w.
inline Json YUpRotation() {
  constexpr float kHalfTurn = 0.70710678f;  // sin and cos of 45 degrees
  return Json::array({-kHalfTurn, 0.0f, 0.0f, kHalfTurn});
}

// The item being read, named in a "Bad data" line the way the SMD writers
// name theirs, with "glb" in front.
struct GlbPlace {
  enum class Part { Header, Skeleton, BodyPart, SubModel, Lods, Mesh, Animations, Animation };
  Part part = Part::Header;
  int32_t bodyPart = -1, subModel = -1, lod = -1, mesh = -1;
  int32_t animation = -1, bone = -1, frame = -1;
  std::string name;    // the mesh node's or the animation's
  bool named = false;  // the name has been read
};
std::string DescribePlace(const GlbPlace& place);

// Values glTF cannot hold as stored, replaced so that the file stays valid.
struct Repairs {
  int64_t notFinite = 0;     // set to 0 (a rotation: to none, a matrix: to the identity)
  int64_t normalLength = 0;  // normals not of unit length, normalised (a zero normal: +Z)
};

struct GlbBuild {
  GlbBuild(const ModelFile& model, const StripFile& strip, const ModelGeometry& geometry, std::string_view generator)
      : model(model), strip(strip), geometry(geometry), document(generator) {}

  const ModelFile& model;
  const StripFile& strip;
  const ModelGeometry& geometry;  // the read layer's walk of the meshes
  WorkPool* pool = nullptr;  // where long animations are sampled in parts; nullptr: on this thread
  uint64_t outputLimit = 0;  // the room the run's output limit leaves the file; 0: none
  // The least bytes the animation SMD files of the animations sampled so far
  // would hold (gltf/animation_channels.h), counted against outputLimit.
  uint64_t sampledTextBytes = 0;
  int32_t lod = 0;  // the level of detail whose meshes the file holds
  ModelHeader header;
  GltfDocument document;
  GlbPlace place;
  std::vector<std::string> messages;
  bool hadErrors = false;
  Repairs repairs;

  // Set by the skeleton.
  int32_t boneCount = 0;
  int rootNode = -1;       // turns the Z-up model to Y-up; parent of the root bones
  int firstBoneNode = -1;  // bone b is node firstBoneNode + b
  int skin = -1;           // -1: the model has no bones, meshes are not skinned
  // Set by the meshes: the mesh nodes of level `lod`, listed in the scene.
  std::vector<int> meshNodes;
  std::map<std::string, int, std::less<>> materials;  // by texture name

  // Names from the model the file carries changed (io/safe_names.h), as
  // stored, each once, in the order first met.
  std::vector<std::string> changedNames;
  // The name as the file carries it: each byte no output may carry becomes '_'.
  std::string Written(std::string_view stored);

  // A note for `place` about a value the SMD files carry as stored but glTF
  // cannot hold, replaced in the documented way: not bad data, and the run's
  // status stays as it is.
  void NoteRepair(const std::string& what);
};
