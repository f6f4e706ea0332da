#include "mesh/mesh_export.h"

namespace {

void PutVector(OutputFile& out, const Vector3& v) {
  for (int axis = 0; axis < 3; ++axis) {
    PutChar(out, ' ');
    PutFloat(out, v[axis], 6);
  }
}

}  // namespace

// The block depends only on the bone table, whose place in the header and
// whose record are the same in every family, so one block serves all of them.
int WriteSkeletonBlock(const ModelFile& model, OutputFile& out) {
  ModelHeader header = ReadModelHeader(model);
  CheckTable(model.bytes, header.boneOffset, header.boneCount, kBoneRecordSize, "bone table");

  PutText(out, "version 1\nnodes\n");
  for (int32_t i = 0; i < header.boneCount; ++i) {
    BoneRecord bone = ReadBone(model, header, i);
    std::string_view name = BoneName(model, bone);
    PutText(out, "  ");
    PutInt(out, i);
    PutText(out, " \"");
    PutText(out, name);  // as stored: no escaping
    PutText(out, "\" ");
    PutInt(out, bone.parentIndex);
    PutChar(out, '\n');
  }
  PutText(out, "end\nskeleton\ntime 0\n");
  for (int32_t i = 0; i < header.boneCount; ++i) {
    BoneRecord bone = ReadBone(model, header, i);
    PutText(out, "  ");
    PutInt(out, i);
    PutVector(out, bone.referencePosition);
    PutVector(out, bone.referenceAngles);  // radians, as stored
    PutChar(out, '\n');
  }
  PutText(out, "end\n");
  return 1;
}
