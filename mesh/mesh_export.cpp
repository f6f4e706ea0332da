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
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/log.h"
#include "driver/names.h"
#include "driver/run_status.h"
#include "mesh/mesh_export.h"

namespace {

constexpr size_t kNameBufferSize = 256;

struct SubModelPlace {
  int32_t bodyPart = 0;
  int32_t subModel = 0;
};

std::string Where(const SubModelPlace& place) {
  return "body part " + std::to_string(place.bodyPart) + ", sub-model " + std::to_string(place.subModel);
}

// Writes one level of detail into fileName. Bad data is reported here and the
// file abandoned.
void WriteLodFile(const ModelFile& model, const StripFile& strip, const ModelRecord& subModel, const StripLod& lod,
                  const SubModelPlace& place, int32_t k, const char* fileName, FileBudget& stripBudget) {
  OutputFile out;
  switch (OpenOutputFile(out, fileName)) {
    case OpenResult::Opened:
      break;
    case OpenResult::CannotCreate:
      LogMessage("Can't open: %s\n", fileName);
      return;
    case OpenResult::UnsafeName:
      return;  // already logged and noted
  }
  int32_t m = -1;  // the mesh being written, -1 before the first
  const char* part = "skeleton";
  try {
    WriteSkeletonBlock(model, out);
    PutText(out, "triangles\n");
    part = "mesh tables";
    CheckTable(model.bytes, AddOffset(subModel.at, subModel.meshOffset), subModel.meshCount, kMeshRecordSize,
               "mesh table");
    CheckTable(strip.bytes, AddOffset(lod.at, lod.meshOffset), subModel.meshCount, kStripMeshSize, "strip mesh table");
    ChargeTableToBudget(stripBudget, strip.bytes, AddOffset(lod.at, lod.meshOffset), subModel.meshCount,
                        kStripMeshSize, "strip mesh table");
    // Once a write has failed the file is lost; the rest is not formatted.
    for (m = 0; m < subModel.meshCount && !out.writeFailed; ++m) {
      // A mesh with too many strip groups is refused by the triangle writer
      // and simply missing from the file.
      WriteMeshTriangles(model, strip, ReadMesh(model, subModel, m), ReadStripMesh(strip, lod, m), out,
                         &stripBudget);
    }
    PutText(out, "end\n");
  } catch (const FormatError& error) {
    AbandonOutputFile(out);
    std::string where = "mesh file \"" + std::string(fileName) + "\" (" + Where(place) + ", LOD " +
                        std::to_string(k) + ", " + (m < 0 ? std::string(part) : "mesh " + std::to_string(m)) + ")";
    ReportBadData(where, error);
    return;
  }
  CloseOutputFile(out);
}

void ExportSubModel(const ModelFile& model, const StripFile& strip, const BodyPartRecord& bodyPart,
                    const SubModelPlace& place, FileBudget& stripBudget) {
  ModelRecord subModel;
  std::string_view name;
  try {
    subModel = ReadSubModel(model, bodyPart, place.subModel);
    if (subModel.vertexCount < 1) return;  // no geometry: nothing logged or written
    name = SubModelName(model, subModel);
  } catch (const FormatError& error) {
    ReportBadData(Where(place), error);
    return;
  }
  LogMessage("Extracted model: %s\n", name.data());  // the name ends at its terminator inside the file

  char baseName[kNameBufferSize] = {};
  if (name.size() >= kNameBufferSize) {
    LogMessage("Skipped %s: its name is longer than %d bytes\n", Where(place).c_str(),
               static_cast<int>(kNameBufferSize - 1));
    NoteRunError();
    return;
  }
  std::memcpy(baseName, name.data(), name.size());
  StripExtension(baseName);

  StripModel stripModel;
  try {
    stripModel = ReadStripModel(strip, ReadStripBodyPart(strip, place.bodyPart), place.subModel);
    CheckTable(strip.bytes, AddOffset(stripModel.at, stripModel.lodOffset), stripModel.lodCount, kStripLodSize,
               "strip LOD table");
    ChargeTableToBudget(stripBudget, strip.bytes, AddOffset(stripModel.at, stripModel.lodOffset),
                        stripModel.lodCount, kStripLodSize, "strip LOD table");
  } catch (const FormatError& error) {
    ReportBadData(Where(place) + " levels of detail", error);
    return;
  }

  for (int32_t k = 0; k < stripModel.lodCount; ++k) {
    StripLod lod;
    try {
      lod = ReadStripLod(strip, stripModel, k);
    } catch (const FormatError& error) {
      ReportBadData(Where(place) + ", LOD " + std::to_string(k), error);
      continue;
    }
    LogMessage("Extracted lod: %d, distance: %.0f\n", k, static_cast<double>(lod.switchDistance));

    char fileName[kNameBufferSize] = {};
    int length = k == 0 ? std::snprintf(fileName, sizeof fileName, "%s.smd", baseName)
                        : std::snprintf(fileName, sizeof fileName, "lod%d_%s.smd", k, baseName);
    if (length < 0 || static_cast<size_t>(length) >= sizeof fileName) {
      if (k == 0)
        LogMessage("Skipped file with a name longer than %d bytes: %s.smd\n", static_cast<int>(kNameBufferSize - 1),
                   baseName);
      else
        LogMessage("Skipped file with a name longer than %d bytes: lod%d_%s.smd\n",
                   static_cast<int>(kNameBufferSize - 1), k, baseName);
      NoteRunError();
      continue;
    }
    WriteLodFile(model, strip, subModel, lod, place, k, fileName, stripBudget);
  }
}

}  // namespace

int ExportMeshes(const ModelFile& model, const StripFile& strip) {
  ModelHeader header;
  try {
    header = ReadModelHeader(model);
    CheckTable(model.bytes, header.bodyPartOffset, header.bodyPartCount, kBodyPartRecordSize, "body part table");
  } catch (const FormatError& error) {
    ReportBadData("mesh export", error);
    return 1;
  }

  // In a well-formed pair of files every sub-model table, level of detail,
  // strip mesh, group, strip and index entry has bytes of its own, so all the
  // files of a run together use at most what the files hold; shared records
  // run out of budget instead of multiplying files and triangles.
  FileBudget subModelBudget = WholeFileBudget(model.bytes);
  FileBudget stripBudget = WholeFileBudget(strip.bytes);
  for (int32_t i = 0; i < header.bodyPartCount; ++i) {
    BodyPartRecord bodyPart;
    try {
      bodyPart = ReadBodyPart(model, header, i);
      std::string_view name = NameAt(model, bodyPart.at, bodyPart.nameOffset, "body part name");
      LogMessage("Extracted body: %s\n", name.data());
      CheckTable(model.bytes, AddOffset(bodyPart.at, bodyPart.modelOffset), bodyPart.modelCount,
                 model.layout->modelRecordSize, "sub-model table");
      ChargeTableToBudget(subModelBudget, model.bytes, AddOffset(bodyPart.at, bodyPart.modelOffset),
                          bodyPart.modelCount, model.layout->modelRecordSize, "sub-model table");
    } catch (const FormatError& error) {
      ReportBadData("body part " + std::to_string(i), error);
      continue;
    }
    for (int32_t j = 0; j < bodyPart.modelCount; ++j) {
      ExportSubModel(model, strip, bodyPart, SubModelPlace{i, j}, stripBudget);
    }
  }
  return 1;
}
