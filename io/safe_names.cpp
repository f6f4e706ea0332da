#include "io/safe_names.h"

std::string WrittenName(std::string_view name) {
  std::string text(name);
  for (char& c : text)
    if (IsUnsafeNameByte(static_cast<unsigned char>(c))) c = '_';
  return text;
}

void PutWrittenName(OutputFile& out, std::string_view name) {
  // Clean names, by far the most common, go in one piece.
  size_t start = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (!IsUnsafeNameByte(static_cast<unsigned char>(name[i]))) continue;
    PutText(out, name.substr(start, i - start));
    PutChar(out, '_');
    start = i + 1;
  }
  PutText(out, name.substr(start));
}

void NoteNameChange(Destination& to, NameChanges& changes, std::string_view name) {
  if (!HasUnsafeNameBytes(name) || changes.said.find(name) != changes.said.end()) return;
  changes.said.emplace(name);
  LogMessage(to.sink, "Name changed: \"%s\" -> \"%s\"\n", ShownName(name).c_str(), WrittenName(name).c_str());
  to.hadNotes = true;
}

std::string NotedName(Destination& to, NameChanges& changes, std::string_view name) {
  NoteNameChange(to, changes, name);
  return WrittenName(name);
}
