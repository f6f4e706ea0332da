#include "gltf/skeleton_nodes.h"

#include <cmath>
#include <string>
#include <vector>

#include "gltf/value_repair.h"
#include "mathlib/rigid_transform.h"
#include "mathlib/rotation.h"
#include "io/shown_name.h"

namespace {

// The 4x4 column-major matrix glTF stores; the identity for a singular rest
// matrix, which only damaged data gives.
void PutInverseBindMatrix(GlbBuild& build, const Affine& world) {
  Affine inverse;
  float values[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  if (Invert(world, inverse)) {
    bool finite = true;
    for (int c = 0; c < 4; ++c)
      for (int r = 0; r < 3; ++r) {
        values[4 * c + r] = static_cast<float>(inverse.m[r][c]);
        finite = finite && std::isfinite(values[4 * c + r]);
      }
    if (!finite) {
      for (int i = 0; i < 16; ++i) values[i] = i % 5 == 0 ? 1.0f : 0.0f;
      ++build.repairs.notFinite;
    }
  } else {
    ++build.repairs.notFinite;
  }
  build.document.Binary().Append(values, sizeof values);
}

}  // namespace

void AddSkeleton(GlbBuild& build) {
  const ModelFile& model = build.model;
  const ModelHeader& header = build.header;
  GltfDocument& document = build.document;
  build.place = GlbPlace{};
  build.place.part = GlbPlace::Part::Skeleton;
  CheckTable(model.bytes, header.boneOffset, header.boneCount, kBoneRecordSize, "bone table");
  const int32_t boneCount = header.boneCount > 0 ? header.boneCount : 0;

  build.rootNode = document.Add("nodes", Json{{"name", build.Written(ModelName(model))}, {"rotation", YUpRotation()}});
  build.firstBoneNode = build.rootNode + 1;
  Json& nodes = document.Root()["nodes"];

  std::vector<Affine> world(static_cast<size_t>(boneCount));
  int32_t strayParents = 0, firstStray = -1;
  std::string strayReport;
  for (int32_t b = 0; b < boneCount; ++b) {
    build.place.bone = b;
    const BoneRecord bone = ReadBone(model, header, b);
    const std::string_view name = BoneName(model, bone);
    const Vector3 translation = RepairedVector(bone.referencePosition, build.repairs);
    Quaternion rotation;
    AnglesToQuaternion(bone.referenceAngles, rotation);
    rotation = RepairedRotation(rotation, build.repairs);
    const int node = document.Add("nodes", Json{{"name", build.Written(name)},
                                                {"translation", {translation.x, translation.y, translation.z}},
                                                {"rotation", {rotation.x, rotation.y, rotation.z, rotation.w}}});
    const Affine local = RestMatrix(rotation, translation);
    const int32_t parent = bone.parentIndex;
    if (parent >= 0 && parent < b) {
      nodes[static_cast<size_t>(build.firstBoneNode + parent)]["children"].push_back(node);
      world[static_cast<size_t>(b)] = Multiply(world[static_cast<size_t>(parent)], local);
      continue;
    }
    nodes[static_cast<size_t>(build.rootNode)]["children"].push_back(node);
    world[static_cast<size_t>(b)] = local;
    if (parent != -1 && strayParents++ == 0) {
      strayReport = ShownName(model.bytes.fileName) + ": bone parent index at offset " + std::to_string(bone.at + 4) +
                    " names bone " + std::to_string(parent) + ", not an earlier bone";
      firstStray = b;
    }
  }
  if (strayParents > 0) {
    build.place.bone = firstStray;
    build.NoteRepair(strayReport + " (" + std::to_string(strayParents) +
                     " such bones), which glTF cannot hold; they hang on the model's root node");
  }
  build.place.bone = -1;
  build.boneCount = boneCount;
  if (boneCount == 0) return;

  const int64_t start = document.Binary().Size();
  for (const Affine& matrix : world) PutInverseBindMatrix(build, matrix);
  const int view = document.AddBufferView(start);
  const int matrices = document.AddAccessor(view, 0, kFloat, boneCount, "MAT4");
  Json joints = Json::array();
  for (int32_t b = 0; b < boneCount; ++b) joints.push_back(build.firstBoneNode + b);
  build.skin = document.Add("skins", Json{{"joints", std::move(joints)}, {"inverseBindMatrices", matrices}});
}
