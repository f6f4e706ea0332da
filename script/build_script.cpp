#include "script/build_script.h"

#include "mathlib/rotation.h"
#include "script/referenced_bone.h"

namespace {

// Sequences that have no animation description of their own index have no
// rate in the file. They are written with 30 frames per second, the rate most
// models are authored at, rather than 0, which would rebuild as a sequence
// that never advances.
constexpr float kRateWithoutAnimation = 30.0f;

// A name from the model, as the script may carry it (io/safe_names.h).
void PutName(Conversion& conv, OutputFile& out, std::string_view name) {
  NoteNameChange(conv.to, conv.names, name);
  PutWrittenName(out, name);
}

void PutQuotedName(Conversion& conv, OutputFile& out, std::string_view name) {
  PutChar(out, '"');
  PutName(conv, out, name);
  PutChar(out, '"');
}

// x, y and z, each after `separator`.
void PutVector(OutputFile& out, const Vector3& v, int precision, std::string_view separator) {
  for (int axis = 0; axis < 3; ++axis) {
    PutText(out, separator);
    PutFloat(out, v[axis], precision);
  }
}

// "$cd" names the folder the script is written in, as an absolute path
// (io/output_folder.h); "." when that path could not be found, which names the
// same folder for a build run from beside the script.
void WriteWorkingDirectory(const OutputFolder& folder, OutputFile& out) {
  PutText(out, "$cd \"");
  PutText(out, folder.absolutePath);
  PutText(out, "\"\n");
}

// The sub-model's name as the script names its file: the base its files
// were given where the plan renamed them, else the name itself.
void PutSubModelName(Conversion& conv, OutputFile& out, int32_t bodyPart, const SubModelGeometry& subModel) {
  if (subModel.error) throw *subModel.error;
  const PlannedFile* file = conv.plan.SubModelFile(bodyPart, subModel.index);
  if (file == nullptr || !file->Renamed()) {
    PutQuotedName(conv, out, subModel.name);
    return;
  }
  NoteNameChange(conv.to, conv.names, subModel.name);
  PutChar(out, '"');
  PutText(out, file->base);
  PutChar(out, '"');
}

// The body parts as the read layer walked them (model/model_geometry.h).
void WriteBodyParts(Conversion& conv, OutputFile& out, DataPlace& place) {
  const ModelGeometry& geometry = conv.geometry;
  SetPlace(place, 0, "body part table");
  if (geometry.error) throw *geometry.error;
  for (const BodyPartGeometry& bodyPart : geometry.bodyParts) {
    SetPlace(place, 0, "body part", bodyPart.index);
    // A body part without sub-models has nothing to build and writes nothing.
    if (bodyPart.record.modelCount <= 0) continue;
    if (bodyPart.error) throw *bodyPart.error;
    if (bodyPart.record.modelCount == 1) {
      SetPlace(place, 1, "sub-model", 0);
      const SubModelGeometry& subModel = bodyPart.subModels[0];
      if (!subModel.hasVertices) continue;
      PutText(out, "$model ");
      PutQuotedName(conv, out, bodyPart.name);
      PutChar(out, ' ');
      PutSubModelName(conv, out, bodyPart.index, subModel);
      PutChar(out, '\n');
      continue;
    }
    PutText(out, "$bodygroup (");
    PutName(conv, out, bodyPart.name);
    PutText(out, ")\n{\n");
    for (const SubModelGeometry& subModel : bodyPart.subModels) {
      SetPlace(place, 1, "sub-model", subModel.index);
      if (!subModel.hasVertices) {
        PutText(out, "\tblank\n");
        continue;
      }
      PutText(out, "\tstudio ");
      PutSubModelName(conv, out, bodyPart.index, subModel);
      PutChar(out, '\n');
    }
    PutText(out, "}\n\n");
  }
}

void WritePoseParameters(Conversion& conv, const ModelHeader& header, OutputFile& out, DataPlace& place) {
  const ModelFile& model = conv.model;
  SetPlace(place, 0, "pose parameter table");
  CheckTable(model.bytes, header.poseParamOffset, header.poseParamCount, kPoseParamRecordSize,
             "pose parameter table");
  for (int32_t i = 0; i < header.poseParamCount; ++i) {
    SetPlace(place, 0, "pose parameter", i);
    PoseParamRecord pose = ReadPoseParam(model, header, i);
    PutText(out, "$poseparameter ");
    PutName(conv, out, NameAt(model, pose.at, pose.nameOffset, "pose parameter name"));
    PutChar(out, ' ');
    PutFloat(out, pose.start, 2);
    PutChar(out, ' ');
    PutFloat(out, pose.end, 2);
    if ((pose.flags & 1) == 0) {
      PutChar(out, ' ');
      PutFloat(out, pose.loop, 2);
    } else if (static_cast<double>(pose.flags) ==
               static_cast<double>(pose.end) - static_cast<double>(pose.start)) {
      // The whole flags word, not the loop value, is compared with the range:
      // flags 1 wraps a range of exactly 1, flags 3 one of exactly 3.
      PutText(out, " wrap");
    } else {
      PutText(out, " loop ");
      PutFloat(out, pose.loop, 2);
    }
    PutChar(out, '\n');
  }
}

void WriteMaterialFolders(Conversion& conv, const ModelHeader& header, OutputFile& out, DataPlace& place) {
  const ModelFile& model = conv.model;
  SetPlace(place, 0, "material folder table");
  CheckTable(model.bytes, header.materialFolderOffset, header.materialFolderCount, kMaterialFolderEntrySize,
             "material folder table");
  for (int32_t i = 0; i < header.materialFolderCount; ++i) {
    SetPlace(place, 0, "material folder", i);
    PutText(out, "$cdmaterials ");
    PutQuotedName(conv, out, MaterialFolderName(model, header, i));
    PutChar(out, '\n');
  }
}

void WriteHitboxes(Conversion& conv, const ModelHeader& header, OutputFile& out, DataPlace& place) {
  const ModelFile& model = conv.model;
  SetPlace(place, 0, "hitbox set table");
  CheckTable(model.bytes, header.hitboxSetOffset, header.hitboxSetCount, kHitboxSetRecordSize, "hitbox set table");
  // Sets that share one hitbox table are written for each, within the budget.
  FileBudget hitboxBudget = WholeFileBudget(model.bytes);
  for (int32_t i = 0; i < header.hitboxSetCount; ++i) {
    SetPlace(place, 0, "hitbox set", i);
    HitboxSetRecord set = ReadHitboxSet(model, header, i);
    PutText(out, "$hboxset ");
    PutQuotedName(conv, out, NameAt(model, set.at, set.nameOffset, "hitbox set name"));
    PutChar(out, '\n');
    CheckTable(model.bytes, AddOffset(set.at, set.hitboxOffset), set.hitboxCount, kHitboxRecordSize,
               "hitbox table");
    ChargeTableToBudget(hitboxBudget, model.bytes, AddOffset(set.at, set.hitboxOffset), set.hitboxCount,
                        kHitboxRecordSize, "hitbox table");
    for (int32_t j = 0; j < set.hitboxCount; ++j) {
      SetPlace(place, 1, "hitbox", j);
      HitboxRecord box = ReadHitbox(model, set, j);
      std::string_view boneName = ReferencedBoneName(model, header, box.bone, box.at, "hitbox bone index");
      PutText(out, "$hbox ");
      PutInt(out, box.group);
      PutChar(out, ' ');
      PutQuotedName(conv, out, boneName);
      // One blank after the name, two between the six numbers.
      const float corners[6] = {box.boxMin.x, box.boxMin.y, box.boxMin.z, box.boxMax.x, box.boxMax.y, box.boxMax.z};
      for (int n = 0; n < 6; ++n) {
        PutText(out, n == 0 ? " " : "  ");
        PutFloat(out, corners[n], 3);
      }
      PutChar(out, '\n');
    }
  }
}

void WriteMaterials(Conversion& conv, const ModelHeader& header, OutputFile& out, DataPlace& place) {
  const ModelFile& model = conv.model;
  SetPlace(place, 0, "texture table");
  CheckTable(model.bytes, header.textureOffset, header.textureCount, kTextureRecordSize, "texture table");
  for (int32_t i = 0; i < header.textureCount; ++i) {
    SetPlace(place, 0, "texture", i);
    PutText(out, "// Model uses material \"");
    PutName(conv, out, TextureName(model, header, i));
    PutText(out, ".vmt\"\n");
  }
}

void WriteAttachments(Conversion& conv, const ModelHeader& header, OutputFile& out, DataPlace& place) {
  const ModelFile& model = conv.model;
  SetPlace(place, 0, "attachment table");
  CheckTable(model.bytes, header.attachmentOffset, header.attachmentCount, kAttachmentRecordSize,
             "attachment table");
  for (int32_t i = 0; i < header.attachmentCount; ++i) {
    SetPlace(place, 0, "attachment", i);
    AttachmentRecord attachment = ReadAttachment(model, header, i);
    std::string_view name = NameAt(model, attachment.at, attachment.nameOffset, "attachment name");
    std::string_view boneName =
        ReferencedBoneName(model, header, attachment.bone, AddOffset(attachment.at, 8), "attachment bone index");
    Vector3 translation{attachment.matrix.m[0][3], attachment.matrix.m[1][3], attachment.matrix.m[2][3]};
    // Degree order: about Y, about Z, about X.
    Vector3 angles;
    MatrixToAngles(attachment.matrix, angles);
    PutText(out, "$attachment ");
    PutQuotedName(conv, out, name);
    PutChar(out, ' ');
    PutQuotedName(conv, out, boneName);
    PutVector(out, translation, 2, " ");
    PutText(out, " rotate");
    PutVector(out, angles, 2, " ");
    PutChar(out, '\n');
  }
}

void WritePositions(Conversion& conv, const ModelHeader& header, OutputFile& out, DataPlace& place) {
  const ModelFile& model = conv.model;
  SetPlace(place, 0, "surface property");
  PutText(out, "$surfaceprop ");
  PutQuotedName(conv, out, SurfacePropName(model, header));
  PutText(out, "\n$eyeposition");
  PutVector(out, header.eyePosition, 3, " ");
  PutText(out, "\n$illumposition");
  PutVector(out, header.illumPosition, 3, " ");
  PutChar(out, '\n');
}

void WriteSequences(Conversion& conv, const ModelHeader& header, OutputFile& out, DataPlace& place) {
  const ModelFile& model = conv.model;
  SetPlace(place, 0, "sequence table");
  CheckTable(model.bytes, header.sequenceOffset, header.sequenceCount, model.layout->sequenceRecordSize,
             "sequence table");
  for (int32_t i = 0; i < header.sequenceCount; ++i) {
    SetPlace(place, 0, "sequence", i);
    SequenceRecord sequence = ReadSequence(model, header, i);
    std::string_view label = NameAt(model, sequence.at, sequence.labelOffset, "sequence label");
    // A sequence takes its rate from the animation description of the same
    // index; no field of the sequence links the two.
    float rate = kRateWithoutAnimation;
    if (i < header.animDescCount) {
      SetPlace(place, 1, "animation description", i);
      rate = ReadAnimDesc(model, header, i).fps;
      SetPlace(place, 0, "sequence", i);
    }
    PutText(out, "$sequence ");
    PutName(conv, out, label);
    PutChar(out, ' ');
    // The file the sequence names is the animation of its index; where the
    // plan renamed that file, the script names it as written.
    const PlannedFile* file = conv.plan.AnimationFile(i);
    if (file != nullptr && file->Renamed() && WrittenName(label) + ".smd" == file->wanted) {
      NoteNameChange(conv.to, conv.names, label);
      PutChar(out, '"');
      PutText(out, file->base);
      PutChar(out, '"');
    } else {
      PutQuotedName(conv, out, label);
    }
    PutChar(out, ' ');
    // The activity is written only with a weight; without one its name is not
    // even read.
    if (sequence.activityWeight != 0) {
      PutName(conv, out, NameAt(model, sequence.at, sequence.activityOffset, "sequence activity name"));
      PutChar(out, ' ');
      PutInt(out, sequence.activityWeight);
      PutChar(out, ' ');
    }
    PutText(out, "fps ");
    PutFloat(out, rate, 2);
    PutChar(out, '\n');
  }
}

}  // namespace

// Bad data anywhere in the model abandons the whole script: the first
// FormatError is reported with the item being written, dec.qc is discarded
// (it is written under a temporary name, so no partial script is left looking
// complete) and the mesh and animation exports still run.
int WriteBuildScript(Conversion& conv) {
  const ModelFile& model = conv.model;
  OutputFile out;
  // The other exports go on when it cannot be created.
  if (!OpenOutputFileOrSay(conv.to, out, "dec.qc")) return 0;

  DataPlace place;
  place.item = "dec.qc";
  try {
    SetPlace(place, 0, "model header");
    ModelHeader header = ReadModelHeader(model);
    WriteWorkingDirectory(*conv.to.folder, out);
    SetPlace(place, 0, "model name");
    PutText(out, "$modelname ");
    PutQuotedName(conv, out, ModelName(model));
    PutChar(out, '\n');
    WriteBodyParts(conv, out, place);
    if (WriteLodBlock(conv, out) == 0) {
      AbandonOutputFile(out);  // already reported
      CommitOutputFile(conv.to, out);  // what it was given counts against the output limit
      return 0;
    }
    WritePoseParameters(conv, header, out, place);
    WriteMaterialFolders(conv, header, out, place);
    WriteHitboxes(conv, header, out, place);
    WriteMaterials(conv, header, out, place);
    WriteAttachments(conv, header, out, place);
    WritePositions(conv, header, out, place);
    WriteSequences(conv, header, out, place);
  } catch (const FormatError& error) {
    ReportBadData(conv.to, DescribePlace(place), error);
    AbandonOutputFile(out);
    CommitOutputFile(conv.to, out);
    return 0;
  }
  return CloseOutputFile(conv.to, out) ? 1 : 0;
}
