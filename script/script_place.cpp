#include "script/script_place.h"

#include <cstdio>

std::string DescribeScriptPlace(const ScriptPlace& place) {
  std::string text = "dec.qc";
  for (const ScriptPlace::Level& level : place.levels) {
    if (level.what == nullptr) break;
    text += ' ';
    text += level.what;
    if (level.index >= 0) {
      text += ' ';
      text += std::to_string(level.index);
    }
  }
  return text;
}

std::string_view ReferencedBoneName(const ModelFile& model, const ModelHeader& header, int32_t bone,
                                    int64_t fieldAt, const char* field) {
  if (bone < 0 || bone >= header.boneCount) {
    char text[96];
    std::snprintf(text, sizeof text, "names bone %d of a table of %d", bone, header.boneCount);
    ThrowFormatErrorText(model.bytes, field, fieldAt, text);
  }
  return BoneName(model, ReadBone(model, header, bone));
}
