#include "model/conversion.h"

#include <string>

void ReportBadData(Destination& to, std::string_view context, const FormatError& error) {
  std::string text(context);
  LogMessage(to.sink, "Bad data: %s: %s\n", text.c_str(), error.what());
  to.hadErrors = true;
}

bool WriteFileItem(Conversion& conv, OutputFile&& out, ItemWork work) {
  if (conv.items != nullptr) {
    conv.items->Start(std::move(out), std::move(work));
    return true;
  }
  work(conv.to, out);
  FinishOutputFile(out);
  return CommitOutputFile(conv.to, out);
}

void NoteBoneNameChanges(Conversion& conv) {
  if (conv.names.boneNamesChecked) return;
  conv.names.boneNamesChecked = true;
  try {
    const ModelHeader header = ReadModelHeader(conv.model);
    CheckTable(conv.model.bytes, header.boneOffset, header.boneCount, kBoneRecordSize, "bone table");
    // Bones may share one long name; once the names alone exceed the output
    // limit no node list is ever kept, so the rest need not be looked at.
    const uint64_t limit = conv.to.limit != nullptr && conv.to.limit->bytes != 0 ? conv.to.limit->bytes : UINT64_MAX;
    uint64_t nameBytes = 0;
    for (int32_t b = 0; b < header.boneCount && nameBytes <= limit; ++b) {
      const std::string_view name = BoneName(conv.model, ReadBone(conv.model, header, b));
      NoteNameChange(conv.to, conv.names, name);
      nameBytes += name.size();
    }
  } catch (const FormatError&) {
  }
}

void ReadAndPlan(Conversion& conv, const PlanChoice& choice) {
  conv.geometry = WalkModelGeometry(conv.model, conv.strip);
  conv.plan = PlanOutputs(conv.model, conv.geometry, choice);
}

const std::string& StartPlannedFile(Conversion& conv, const PlannedFile& file) {
  if (file.Renamed()) {
    EmitMessage(conv.to.sink, RenameLine(file));
    conv.to.hadNotes = true;
  }
  return file.name;
}
