// Mesh SMD files: for every sub-model with vertices one file per level of
// detail, "<base>.smd" for level 0 and "lod<k>_<base>.smd" for the others.
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
// The walk (reading the tables, charging the budgets, validating every strip
// group) runs in order on the calling thread; each file's formatting and
// writing is an item that may run on another thread (formats/conversion.h).
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "formats/data_place.h"
#include "io/names.h"
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
  FileBudget subModelBudget;
  FileBudget stripBudget;
  SkeletonText skeleton;
  LodZeroPlans* lodZero = nullptr;
};

// Validates one level of detail and starts writing it into fileName. Bad data
// is reported here and the file abandoned.
void WriteLodFile(MeshExport& run, const ModelRecord& subModel, const StripLod& lod, DataPlace place,
                  const char* fileName, bool levelZero) {
  Conversion& conv = run.conv;
  OutputFile out;
  if (!OpenOutputFileOrSay(conv.to, out, fileName)) return;
  place.item = "mesh file \"" + std::string(fileName) + "\"";
  place.inParentheses = true;
  auto plans = std::make_shared<std::vector<MeshPlan>>();
  std::shared_ptr<const std::string> skeleton;
  try {
    SetPlace(place, 3, "skeleton");
    const SkeletonText& block = PrepareSkeleton(conv.model, out.byteCap, run.skeleton);
    if (block.error) throw *block.error;
    skeleton = block.text;
    SetPlace(place, 3, "mesh tables");
    CheckTable(conv.model.bytes, AddOffset(subModel.at, subModel.meshOffset), subModel.meshCount, kMeshRecordSize,
               "mesh table");
    CheckTable(conv.strip.bytes, AddOffset(lod.at, lod.meshOffset), subModel.meshCount, kStripMeshSize,
               "strip mesh table");
    ChargeTableToBudget(run.stripBudget, conv.strip.bytes, AddOffset(lod.at, lod.meshOffset), subModel.meshCount,
                        kStripMeshSize, "strip mesh table");
    for (int32_t m = 0; m < subModel.meshCount; ++m) {
      SetPlace(place, 3, "mesh", m);
      // A mesh with too many strip groups is refused and simply missing from the file.
      MeshPlan plan;
      if (PlanMeshTriangles(conv.model, conv.strip, ReadMesh(conv.model, subModel, m),
                            ReadStripMesh(conv.strip, lod, m), plan, &run.stripBudget) != 0)
        plans->push_back(std::move(plan));
    }
  } catch (const FormatError& error) {
    AbandonOutputFile(out);
    ReportBadData(conv.to, DescribePlace(place), error);
    return;
  }
  NoteBoneNameChanges(conv);
  for (const MeshPlan& plan : *plans) NoteNameChange(conv.to, conv.names, plan.materialName);
  if (levelZero && run.lodZero != nullptr) run.lodZero->push_back(plans);
  WriteFileItem(conv, std::move(out), [skeleton, plans](Destination&, OutputFile& file) {
    PutText(file, *skeleton);
    PutText(file, "triangles\n");
    // Once a write has failed the file is lost; the rest is not formatted.
    for (const MeshPlan& plan : *plans) {
      if (file.writeFailed) break;
      WritePlannedTriangles(plan, file);
    }
    PutText(file, "end\n");
  });
}

void ExportSubModel(MeshExport& run, const BodyPartRecord& bodyPart, int32_t bodyPartIndex, int32_t subModelIndex) {
  const DataPlace place = SubModelPlace(bodyPartIndex, subModelIndex);
  Conversion& conv = run.conv;
  ModelRecord subModel;
  std::string_view stored;
  try {
    subModel = ReadSubModel(conv.model, bodyPart, subModelIndex);
    if (subModel.vertexCount < 1) return;  // no geometry: nothing logged or written
    stored = SubModelName(conv.model, subModel);
  } catch (const FormatError& error) {
    ReportBadData(conv.to, DescribePlace(place), error);
    return;
  }
  LogMessage(conv.to.sink, "Extracted model: %s\n", ShownName(stored).c_str());
  const std::string name = WrittenName(stored);

  char baseName[kNameBufferSize] = {};
  if (name.size() >= kNameBufferSize) {
    LogMessage(conv.to.sink, "Skipped %s: its name is longer than %d bytes\n", DescribePlace(place).c_str(),
               static_cast<int>(kNameBufferSize - 1));
    conv.to.hadErrors = true;
    return;
  }
  NoteNameChange(conv.to, conv.names, stored);  // the files are named after it
  std::memcpy(baseName, name.data(), name.size());
  StripExtension(baseName);

  StripModel stripModel;
  try {
    stripModel = ReadStripModel(conv.strip, ReadStripBodyPart(conv.strip, bodyPartIndex), subModelIndex);
    CheckStripLodTable(conv.strip, stripModel, run.stripBudget);
  } catch (const FormatError& error) {
    ReportBadData(conv.to, DescribePlace(place) + " levels of detail", error);
    return;
  }

  for (int32_t k = 0; k < stripModel.lodCount; ++k) {
    DataPlace lodPlace = place;
    SetPlace(lodPlace, 2, "LOD", k);
    StripLod lod;
    try {
      lod = ReadStripLod(conv.strip, stripModel, k);
    } catch (const FormatError& error) {
      ReportBadData(conv.to, DescribePlace(lodPlace), error);
      continue;
    }
    LogMessage(conv.to.sink, "Extracted lod: %d, distance: %.0f\n", k, static_cast<double>(lod.switchDistance));

    char fileName[kNameBufferSize] = {};
    int length = k == 0 ? std::snprintf(fileName, sizeof fileName, "%s.smd", baseName)
                        : std::snprintf(fileName, sizeof fileName, "lod%d_%s.smd", k, baseName);
    if (length < 0 || static_cast<size_t>(length) >= sizeof fileName) {
      if (k == 0)
        LogMessage(conv.to.sink, "Skipped file with a name longer than %d bytes: %s.smd\n",
                   static_cast<int>(kNameBufferSize - 1), baseName);
      else
        LogMessage(conv.to.sink, "Skipped file with a name longer than %d bytes: lod%d_%s.smd\n",
                   static_cast<int>(kNameBufferSize - 1), k, baseName);
      conv.to.hadErrors = true;
      continue;
    }
    WriteLodFile(run, subModel, lod, lodPlace, fileName, k == 0);
  }
}

}  // namespace

int ExportMeshes(Conversion& conv, LodZeroPlans* lodZero) {
  ModelHeader header;
  try {
    header = ReadModelHeader(conv.model);
    CheckTable(conv.model.bytes, header.bodyPartOffset, header.bodyPartCount, kBodyPartRecordSize,
               "body part table");
  } catch (const FormatError& error) {
    ReportBadData(conv.to, "mesh export", error);
    return 1;
  }

  // Sub-model tables, levels of detail, strip meshes, groups, strips and index
  // entries shared between files are walked for each, up to 64 times what
  // their files hold (formats/file_budget.h).
  MeshExport run{conv, WholeFileBudget(conv.model.bytes), WholeFileBudget(conv.strip.bytes), {}, lodZero};
  for (int32_t i = 0; i < header.bodyPartCount; ++i) {
    BodyPartRecord bodyPart;
    try {
      bodyPart = ReadBodyPart(conv.model, header, i);
      std::string_view name = NameAt(conv.model, bodyPart.at, bodyPart.nameOffset, "body part name");
      LogMessage(conv.to.sink, "Extracted body: %s\n", ShownName(name).c_str());
      CheckSubModelTable(conv.model, bodyPart, run.subModelBudget);
    } catch (const FormatError& error) {
      ReportBadData(conv.to, "body part " + std::to_string(i), error);
      continue;
    }
    for (int32_t j = 0; j < bodyPart.modelCount; ++j) ExportSubModel(run, bodyPart, i, j);
  }
  return 1;
}
