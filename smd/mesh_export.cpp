// Mesh SMD files: for every sub-model with vertices one file per level of
// detail, "<base>.smd" for level 0 and "lod<k>_<base>.smd" for the others,
// under the names the output plan gives them (model/output_plan.h).
//
// Damaged input is handled at the level of the file being produced: a
// reference that leaves the model or strip file is reported once ("Bad data:
// <where>: <what>"), the file being written is abandoned (it never appears
// under its final name) and the walk goes on with the next level of detail.
// When a body part's or sub-model's own data can't be read (its record, name,
// strip records or level-of-detail table), the walk goes on with the next body
// part or sub-model. A table whose count does not fit the file is not walked at
// all.
//
// Names: the base name and the file name are built in 256-byte buffers; a name
// that would not fit is not cut short (that could overwrite another model's
// file) but skipped with a message, and the run is marked as failed. A file
// that cannot be created (for example in a folder that does not exist) logs
// "Can't open: <name>" and the next file follows; like the animation export's
// "Can't open", it leaves the exit status as it is.
//
// The read layer's walk (model/model_geometry.h) has read the tables, charged
// the budgets and validated every strip group; this writer reports its faults
// at the file's level, in walk order. Each file's formatting and writing is
// an item that may run on another thread (model/conversion.h).
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "formats/data_place.h"
#include "io/safe_names.h"
#include "smd/mesh_export.h"

namespace {

constexpr size_t kNameBufferSize = 256;

// "body part <i>, sub-model <j>", the levels below the mesh export.
DataPlace SubModelPlace(int32_t bodyPart, int32_t subModel) {
  DataPlace place;
  place.separator = ", ";
  SetPlace(place, 0, "body part", bodyPart);
  SetPlace(place, 1, "sub-model", subModel);
  return place;
}

// The skeleton block is the same in every mesh file of a model, so it is
// formatted once; bad data in it is reported for each file, as each would
// have met it.
struct SkeletonText {
  bool ready = false;
  std::shared_ptr<const std::string> text;
  std::optional<FormatError> error;
};

// `byteCap` is the output limit: a longer block makes every mesh file too
// long, so formatting it may stop there.
const SkeletonText& PrepareSkeleton(const ModelFile& model, uint64_t byteCap, SkeletonText& skeleton) {
  if (skeleton.ready) return skeleton;
  skeleton.ready = true;
  auto text = std::make_shared<std::string>();
  OutputFile out;
  OpenOutputToString(out, *text);
  out.byteCap = byteCap;
  try {
    WriteSkeletonBlock(model, out);
    FlushOutputBuffer(out);
    skeleton.text = std::move(text);
  } catch (const FormatError& error) {
    skeleton.error = error;
  }
  return skeleton;
}

struct MeshExport {
  Conversion& conv;
  SkeletonText skeleton;
};

// Starts writing one level of detail into its planned file. Its faults were
// met by the walk; they are reported here and the file abandoned.
void WriteLodFile(MeshExport& run, const LodGeometry& lod, DataPlace place, const PlannedFile& planned) {
  Conversion& conv = run.conv;
  const std::string& fileName = StartPlannedFile(conv, planned);
  OutputFile out;
  if (!OpenOutputFileOrSay(conv.to, out, fileName)) return;
  place.item = "mesh file \"" + fileName + "\"";
  place.inParentheses = true;
  std::shared_ptr<const std::string> skeleton;
  try {
    SetPlace(place, 3, "skeleton");
    const SkeletonText& block = PrepareSkeleton(conv.model, out.byteCap, run.skeleton);
    if (block.error) throw *block.error;
    skeleton = block.text;
    if (lod.meshError) {
      if (lod.failedMesh < 0) SetPlace(place, 3, "mesh tables");
      else SetPlace(place, 3, "mesh", lod.failedMesh);
      throw *lod.meshError;
    }
  } catch (const FormatError& error) {
    AbandonOutputFile(out);
    ReportBadData(conv.to, DescribePlace(place), error);
    return;
  }
  NoteBoneNameChanges(conv);
  for (const MeshPlan& plan : lod.meshes) NoteNameChange(conv.to, conv.names, plan.materialName);
  // The walk's plans live as long as the conversion, which outlasts its items.
  const LodGeometry* plans = &lod;
  WriteFileItem(conv, std::move(out), [skeleton, plans](Destination&, OutputFile& file) {
    PutText(file, *skeleton);
    PutText(file, "triangles\n");
    // Once a write has failed the file is lost; the rest is not formatted.
    for (const MeshPlan& plan : plans->meshes) {
      if (file.writeFailed) break;
      WritePlannedTriangles(plan, file);
    }
    PutText(file, "end\n");
  });
}

void ExportSubModel(MeshExport& run, int32_t bodyPartIndex, const SubModelGeometry& subModel) {
  if (!subModel.hasVertices) return;  // no geometry: nothing logged or written
  const DataPlace place = SubModelPlace(bodyPartIndex, subModel.index);
  Conversion& conv = run.conv;
  if (subModel.error) {
    ReportBadData(conv.to, DescribePlace(place), *subModel.error);
    return;
  }
  LogMessage(conv.to.sink, "Extracted model: %s\n", ShownName(subModel.name).c_str());
  const std::optional<std::string> base = MeshBaseName(subModel.name);
  if (!base) {
    LogMessage(conv.to.sink, "Skipped %s: its name is longer than %d bytes\n", DescribePlace(place).c_str(),
               static_cast<int>(kNameBufferSize - 1));
    conv.to.hadErrors = true;
    return;
  }
  NoteNameChange(conv.to, conv.names, subModel.name);  // the files are named after it
  if (subModel.lodTableError) {
    ReportBadData(conv.to, DescribePlace(place) + " levels of detail", *subModel.lodTableError);
    return;
  }
  for (const LodGeometry& lod : subModel.lods) {
    DataPlace lodPlace = place;
    SetPlace(lodPlace, 2, "LOD", lod.index);
    if (lod.error) {
      ReportBadData(conv.to, DescribePlace(lodPlace), *lod.error);
      continue;
    }
    LogMessage(conv.to.sink, "Extracted lod: %d, distance: %.0f\n", lod.index,
               static_cast<double>(lod.lod.switchDistance));
    const PlannedFile* planned = conv.plan.MeshFile(bodyPartIndex, subModel.index, lod.index);
    if (planned == nullptr) {  // the plan leaves out only a name too long for the buffer
      if (lod.index == 0)
        LogMessage(conv.to.sink, "Skipped file with a name longer than %d bytes: %s.smd\n",
                   static_cast<int>(kNameBufferSize - 1), base->c_str());
      else
        LogMessage(conv.to.sink, "Skipped file with a name longer than %d bytes: lod%d_%s.smd\n",
                   static_cast<int>(kNameBufferSize - 1), lod.index, base->c_str());
      conv.to.hadErrors = true;
      continue;
    }
    WriteLodFile(run, lod, lodPlace, *planned);
  }
}

}  // namespace

int ExportMeshes(Conversion& conv) {
  const ModelGeometry& geometry = conv.geometry;
  if (geometry.error) {
    ReportBadData(conv.to, "mesh export", *geometry.error);
    return 1;
  }
  MeshExport run{conv, {}};
  for (const BodyPartGeometry& bodyPart : geometry.bodyParts) {
    if (bodyPart.nameRead) LogMessage(conv.to.sink, "Extracted body: %s\n", ShownName(bodyPart.name).c_str());
    if (bodyPart.error) {
      ReportBadData(conv.to, "body part " + std::to_string(bodyPart.index), *bodyPart.error);
      continue;
    }
    for (const SubModelGeometry& subModel : bodyPart.subModels) ExportSubModel(run, bodyPart.index, subModel);
  }
  return 1;
}
