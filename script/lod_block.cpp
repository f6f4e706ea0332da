#include <cstring>
#include <string>

#include "io/names.h"
#include "formats/file_budget.h"
#include "script/build_script.h"
#include "script/referenced_bone.h"

namespace {

// The level-of-detail SMD files are named after the sub-model with slashes
// and without its extension; the level number is the level's position in the
// strip file's list, so skipped levels keep their numbers.
void WriteLodLines(Conversion& conv, OutputFile& out, DataPlace& place) {
  const ModelFile& model = conv.model;
  const StripFile& strip = conv.strip;
  SetPlace(place, 0, "level of detail, model header");
  ModelHeader header = ReadModelHeader(model);
  SetPlace(place, 0, "level of detail, body part table");
  CheckTable(model.bytes, header.bodyPartOffset, header.bodyPartCount, kBodyPartRecordSize, "body part table");
  // Body parts that share one sub-model table, or sub-models that share one
  // level-of-detail table, are written for each, within the budget.
  FileBudget subModelBudget = WholeFileBudget(model.bytes);
  FileBudget lodBudget = WholeFileBudget(strip.bytes);
  for (int32_t i = 0; i < header.bodyPartCount; ++i) {
    SetPlace(place, 0, "level of detail, body part", i);
    BodyPartRecord bodyPart = ReadBodyPart(model, header, i);
    CheckSubModelTable(model, bodyPart, subModelBudget);
    for (int32_t j = 0; j < bodyPart.modelCount; ++j) {
      SetPlace(place, 1, "sub-model", j);
      ModelRecord subModel = ReadSubModel(model, bodyPart, j);
      // The strip file is walked in step with the model file, and only where
      // a sub-model has geometry: a strip file that lacks records for empty
      // sub-models is not bad data for the script.
      if (subModel.vertexCount < 1) continue;
      StripModel stripModel = ReadStripModel(strip, ReadStripBodyPart(strip, i), j);
      if (stripModel.lodCount <= 0) continue;
      CheckStripLodTable(strip, stripModel, lodBudget);
      std::string name;
      for (int32_t k = 0; k < stripModel.lodCount; ++k) {
        SetPlace(place, 2, "level", k);
        StripLod lod = ReadStripLod(strip, stripModel, k);
        // Exact compare: -0.0 counts as zero, not-a-number does not.
        if (lod.switchDistance == 0.0f) continue;
        if (name.empty()) {
          // Copied whole, whatever its length, and edited in the copy.
          name = OutputName(conv, SubModelName(model, subModel));
          StripExtension(name.data());
          name.resize(std::strlen(name.c_str()));
        }
        PutText(out, "$lod ");
        PutFloat(out, lod.switchDistance, 0);
        PutText(out, "\n {\n  replacemodel \"");
        PutText(out, name);
        PutText(out, "\" \"lod");
        PutInt(out, k);
        PutChar(out, '_');
        PutText(out, name);
        PutText(out, "\"\n}\n");
      }
    }
  }
}

}  // namespace

int WriteLodBlock(Conversion& conv, OutputFile& out) {
  DataPlace place;
  place.item = "dec.qc";
  try {
    WriteLodLines(conv, out, place);
  } catch (const FormatError& error) {
    ReportBadData(conv.to, DescribePlace(place), error);
    return 0;
  }
  return 1;
}
