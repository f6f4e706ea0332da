#include "io/safe_names.h"
#include "smd/mesh_export.h"

namespace {

void PutVector(OutputFile& out, const Vector3& v) {
  for (int axis = 0; axis < 3; ++axis) {
    PutChar(out, ' ');
    PutFloat(out, v[axis], 6);
  }
}

}  // namespace

void WriteNodeList(const ModelFile& model, const ModelHeader& header, OutputFile& out, int32_t& bone) {
  PutText(out, "version 1\nnodes\n");
  CheckTable(model.bytes, header.boneOffset, header.boneCount, kBoneRecordSize, "bone table");
  // A node list over the output limit is lost anyway (bones may share one long name).
  for (int32_t b = 0; b < header.boneCount && !out.writeFailed; ++b) {
    bone = b;
    const BoneRecord record = ReadBone(model, header, b);
    const std::string_view name = BoneName(model, record);
    PutText(out, "  ");
    PutInt(out, b);
    PutText(out, " \"");
    PutWrittenName(out, name);  // noted by the walk (NoteBoneNameChanges)
    PutText(out, "\" ");
    PutInt(out, record.parentIndex);
    PutChar(out, '\n');
  }
  bone = -1;
  PutText(out, "end\n");
}

// The block depends only on the bone table, whose place in the header and
// whose record are the same in every family, so one block serves all of them.
int WriteSkeletonBlock(const ModelFile& model, OutputFile& out) {
  ModelHeader header = ReadModelHeader(model);
  int32_t bone = -1;
  WriteNodeList(model, header, out, bone);
  PutText(out, "skeleton\ntime 0\n");
  for (int32_t i = 0; i < header.boneCount; ++i) {
    BoneRecord record = ReadBone(model, header, i);
    PutText(out, "  ");
    PutInt(out, i);
    PutVector(out, record.referencePosition);
    PutVector(out, record.referenceAngles);  // radians, as stored
    PutChar(out, '\n');
  }
  PutText(out, "end\n");
  return 1;
}
