#include <cstring>
#include <string>

#include "formats/data_place.h"
#include "io/names.h"
#include "script/build_script.h"

namespace {

// The level-of-detail SMD files are named after the sub-model with slashes
// and without its extension (or by the base the plan renamed them to); the
// level number is the level's position in the strip file's list, so skipped
// levels keep their numbers. The levels are the read layer's walk
// (model/model_geometry.h); the script reads only what it writes.
void WriteLodLines(Conversion& conv, OutputFile& out, DataPlace& place) {
  const ModelGeometry& geometry = conv.geometry;
  SetPlace(place, 0, "level of detail, body part table");
  if (geometry.error) throw *geometry.error;
  for (const BodyPartGeometry& bodyPart : geometry.bodyParts) {
    SetPlace(place, 0, "level of detail, body part", bodyPart.index);
    // Only the sub-model table is read here, not the body part's name.
    if (bodyPart.error && bodyPart.nameRead) throw *bodyPart.error;
    for (const SubModelGeometry& subModel : bodyPart.subModels) {
      SetPlace(place, 1, "sub-model", subModel.index);
      // The strip file is walked in step with the model file, and only where
      // a sub-model has geometry: a strip file that lacks records for empty
      // sub-models is not bad data for the script.
      if (!subModel.hasVertices) continue;
      if (subModel.lodTableError) throw *subModel.lodTableError;
      std::string name;
      for (const LodGeometry& lod : subModel.lods) {
        SetPlace(place, 2, "level", lod.index);
        if (lod.error) throw *lod.error;
        // Exact compare: -0.0 counts as zero, not-a-number does not.
        if (lod.lod.switchDistance == 0.0f) continue;
        if (name.empty()) {
          if (subModel.error) throw *subModel.error;
          const PlannedFile* file = conv.plan.SubModelFile(bodyPart.index, subModel.index);
          if (file != nullptr && file->Renamed()) {
            name = file->base;
          } else {
            // Copied whole, whatever its length, and edited in the copy.
            name = OutputName(conv, subModel.name);
            StripExtension(name.data());
            name.resize(std::strlen(name.c_str()));
          }
        }
        PutText(out, "$lod ");
        PutFloat(out, lod.lod.switchDistance, 0);
        PutText(out, "\n {\n  replacemodel \"");
        PutText(out, name);
        PutText(out, "\" \"lod");
        PutInt(out, lod.index);
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
